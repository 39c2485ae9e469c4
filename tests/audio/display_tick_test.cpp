// A playing file's picture on its own clock: as many pictures a second as the user asked, each of the
// sound heard at that moment, while the buffers go on a time slice at a time. The plays run on the
// sound's clock (a device the test moves on a picture period at a time, timer 2 ticking at each), so
// what is counted is the same however busy the machine is.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analysis/pitch.h"
#include "audio/display_tick.h"
#include "display/analysis_settings.h"
#include "platform/wave_format.h"
#include "playback_fixture.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/tick_clock.h"
#include "stepped_wave_out.h"

namespace {

using play_test::PlaybackFixture;

constexpr uint32_t kRate = 11025;
constexpr double kStep = 0.5;  // seconds of each tone
const std::vector<double> kTones = {500.0, 1000.0, 2000.0};
constexpr double kSlice = 2048.0 / kRate;  // deltatime 2048

class DisplayTickTest : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        handler_.picture_timer = false;
        dl::OpenTestWaveOut = [this](const std::vector<uint8_t>& format, dl::WaveOut::Done done,
                                     std::unique_ptr<dl::WaveOut>& out) {
            const uint32_t bps = dl::rd32(format, dl::kFmtBytesPerSec);
            auto d = std::make_unique<play_test::SteppedWaveOut>(std::move(done), bps);
            device_ = d.get();
            out = std::move(d);
            return dl::kWaveOk;
        };
        dl::PictureObserver = [this](double s, const dl::BlockAnalysis& a) {
            pictures_.push_back(s);
            if (a.peak_shown) picture_peaks_.emplace_back(s, a.peak_frequency);
        };
    }
    // Three rising tones, 1.5 s.
    std::string steps() { return make_wav("steps.wav", 1, kRate, 16, play_test::tones(kRate, kTones, kStep)); }
    double sound_seconds() const { return double(kTones.size()) * size_t(kRate * kStep) / kRate; }
    // Plays the started file to its end on the sound's clock: each step the listener hears one more
    // picture period (16 ms without the timer), the buffers heard come back through the event loop,
    // and timer 2 ticks if it runs. False when the play outlasts its sound.
    bool play_in_steps() {
        const uint32_t ms = dl::DisplayTimerOn() ? dl::DisplayPeriod : 16;
        const uint32_t bps = dl::SourceInfo.output_bytes_per_second, align = uint32_t(dl::SourceInfo.block_align);
        const int most = int(sound_seconds() * 1000 / ms) + 10;
        for (int k = 1; k <= most && dl::SourceState.running; ++k) {
            const uint64_t heard = uint64_t(k) * ms * bps / 1000 / align * align;
            device_->hear(heard - std::min(heard, device_->heard()));
            QCoreApplication::sendPostedEvents();
            if (dl::DisplayTimerOn()) dl::DisplayTick(dl::time_get_time());
        }
        return !dl::SourceState.running;
    }
    play_test::SteppedWaveOut* device_ = nullptr;
    std::vector<double> pictures_;
    std::vector<std::pair<double, double>> picture_peaks_;
};

TEST(DisplayTimer, PeriodOfTheRate) {
    EXPECT_EQ(dl::DisplayTimerPeriod(0), 0u) << "a picture a slice";
    EXPECT_EQ(dl::DisplayTimerPeriod(30), 33u);
    EXPECT_EQ(dl::DisplayTimerPeriod(60), 16u);
    EXPECT_EQ(dl::DisplayTimerPeriod(120), 8u);
}

// The voice pointer steps a time slice at a time: pictures do not move it.
TEST(DisplayTimer, PicturesDoNotSteerThePointer) {
    dl::Settings.VoicePointer = 1;
    dl::Settings.sex = 1;
    dl::VoicePointerSteers = true;
    const dl::AnalysisParams params = dl::AnalysisParamsOfSettings();
    EXPECT_TRUE(dl::VoicePointerActive(params, dl::AnalysisPurpose::Both));
    EXPECT_TRUE(dl::VoicePointerActive(params, dl::AnalysisPurpose::RowsOnly));
    EXPECT_FALSE(dl::VoicePointerActive(params, dl::AnalysisPurpose::PictureOnly));
    dl::VoicePointerSteers = false;
    EXPECT_FALSE(dl::VoicePointerActive(dl::AnalysisParamsOfSettings(), dl::AnalysisPurpose::Both));
    dl::Settings = dl::SettingsRecord{};
}

// A 186 ms slice draws five pictures a second; at 30 a second the picture follows the sound about
// six times a slice, each picture showing the tone that sounds at its time, while the rows (the
// batch's, the window's log) stay those of the slices.
TEST_F(DisplayTickTest, ThirtyASecondShowTheSoundHeardAtEachPicture) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 0;
    const std::string file = steps();
    start(file);
    EXPECT_FALSE(dl::DisplayTimerOn());
    ASSERT_TRUE(play_in_steps());
    const std::vector<double> rows = blocks_;
    const auto row_peaks = block_peaks_;
    EXPECT_LE(rows.size(), 10u) << "one row a slice of 1.5 s";
    EXPECT_TRUE(pictures_.empty());

    blocks_.clear();
    block_peaks_.clear();
    dl::Settings.update_rate = 30;
    start(file);
    EXPECT_TRUE(dl::DisplayTimerOn());
    ASSERT_TRUE(play_in_steps());
    EXPECT_FALSE(dl::DisplayTimerOn()) << "the end of the play stops the timer";
    EXPECT_EQ(blocks_, rows) << "the rows are the slices' whatever the pictures";
    EXPECT_EQ(block_peaks_, row_peaks);
    EXPECT_GE(pictures_.size(), 3 * rows.size()) << "pictures " << pictures_.size() << " against " << rows.size();
    EXPECT_TRUE(std::is_sorted(pictures_.begin(), pictures_.end()));
    // Their times are the sound's: one a period (33 ms) from the first period on to the last whole
    // slice, rather than bunched at the slices.
    const double period = 0.033 + 1.0 / kRate;
    ASSERT_FALSE(pictures_.empty());
    EXPECT_LE(pictures_.front(), period);
    EXPECT_GE(pictures_.back(), sound_seconds() - kSlice - period);
    double widest_gap = 0;
    for (size_t k = 1; k < pictures_.size(); ++k) widest_gap = std::max(widest_gap, pictures_[k] - pictures_[k - 1]);
    EXPECT_LE(widest_gap, period);
    // A block that lies within one tone shows that tone (a 4096-point block is 0.37 s at 11025 Hz).
    const double block_seconds = 4096.0 / kRate;
    int checked = 0;
    for (const auto& [at, hz] : picture_peaks_) {
        const int step = int(at / kStep);
        if (step >= int(kTones.size()) || at + block_seconds > (step + 1) * kStep) continue;
        EXPECT_NEAR(hz, kTones[size_t(step)], kTones[size_t(step)] * 0.02) << "at " << at << " s";
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

// The tuning log scrolls a row a picture: its rows stay a slice of sound apart at any rate.
TEST_F(DisplayTickTest, TheTuningLogKeepsARowATimeSlice) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 60;
    dl::Settings.display = dl::kViewTuning;
    start(steps());
    ASSERT_TRUE(play_in_steps());
    EXPECT_LE(pictures_.size(), 10u);
    EXPECT_GE(pictures_.size(), 6u);
    // A row at the first tick (16 ms) once a slice has been heard since the last one.
    const double period = 0.016 + 1.0 / kRate;
    for (size_t k = 1; k < pictures_.size(); ++k) {
        EXPECT_GE(pictures_[k] - pictures_[k - 1], kSlice - 1e-9);
        EXPECT_LE(pictures_[k] - pictures_[k - 1], kSlice + period);
    }
}

// A run of 17 notes at a quarter of the speed: the tuner reads the sound at every picture, so each note
// is read many times, within a few cents, as it sounds; one reading a slice of the file would show the
// note before for much of each note.
TEST_F(DisplayTickTest, AtAQuarterOfTheSpeedTheTunerReadsEveryNoteOfARun) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 30;
    dl::Settings.tuner = 1;
    dl::Settings.PlayRate = -240;
    const double each = 0.25;
    std::vector<double> run;
    for (int k = 0; k < 17; ++k) run.push_back(261.6255653 * std::pow(2.0, k / 12.0));
    std::vector<std::pair<double, double>> readings;  // the picture's time in the sound, and its f0 (0: none)
    const char* pictures = std::getenv("DEWLARK_PICTURES");
    dl::PictureObserver = [&](double s, const dl::BlockAnalysis& a) {
        readings.emplace_back(s, a.f0_voiced ? a.f0_frequency : 0.0);
        // With DEWLARK_PICTURES naming a folder, the window halfway through the fifth note, to look at.
        if (pictures && *pictures && readings.size() > 1 && readings[readings.size() - 2].first < 4.5 * each && s >= 4.5 * each)
            dl::WindowSurface->save_png(std::string(pictures) + "/tuner_quarter_speed_note5.png");
    };
    start(make_wav("run.wav", 1, kRate, 16, play_test::tones(kRate, run, each)));
    ASSERT_TRUE(dl::DisplayTimerOn());
    // The device plays a quarter of the sound's bytes a second.
    const uint32_t bps = dl::SourceInfo.output_bytes_per_second / 4, align = uint32_t(dl::SourceInfo.block_align);
    for (int k = 1; k <= 4 * 17 * 8 + 40 && dl::SourceState.running; ++k) {
        const uint64_t heard = uint64_t(k) * dl::DisplayPeriod * bps / 1000 / align * align;
        device_->hear(heard - std::min(heard, device_->heard()));
        QCoreApplication::sendPostedEvents();
        dl::DisplayTick(dl::time_get_time());
    }
    ASSERT_FALSE(dl::SourceState.running) << "the play ends on its clock";
    dl::Settings.PlayRate = 0;
    // The tracker reads 80 ms from the picture's time: pictures whose reading lies within one note.
    std::vector<int> read(run.size(), 0);
    for (const auto& [at, hz] : readings) {
        const size_t note = size_t(at / each);
        if (note >= run.size() || at < note * each || at + 0.08 > (note + 1) * each) continue;
        ASSERT_GT(hz, 0) << "at " << at << " s";
        EXPECT_NEAR(1200 * std::log2(hz / run[note]), 0, 5) << "at " << at << " s";
        ++read[note];
    }
    // About 20 a note (a picture every 8 ms of sound); the last note's end has no picture, whose
    // block would reach past the sound.
    for (size_t note = 0; note + 1 < run.size(); ++note) EXPECT_GE(read[note], 15) << "note " << note;
    EXPECT_GE(read.back(), 5);
}

// Slices shorter than the picture's period draw more often already: each buffer keeps its picture.
TEST_F(DisplayTickTest, FineSlicesKeepTheirOwnPictures) {
    dl::Settings.deltatime = 128;  // 12 ms
    dl::Settings.update_rate = 30;
    start(steps());
    EXPECT_FALSE(dl::DisplayTimerOn());
    dl::StopPlayback();
}

// The meters follow the buffers' blocks, as without pictures of their own: a whole play meters the
// same frames at any rate.
TEST_F(DisplayTickTest, PicturesLeaveTheMetersToTheSlices) {
    dl::Settings.deltatime = 2048;
    dl::Settings.level_meter = dl::kMeterStripLoudness;
    const std::string file = steps();
    uint64_t metered[2] = {};
    for (int rate : {0, 60}) {
        dl::Settings.update_rate = rate;
        start(file);
        ASSERT_TRUE(play_in_steps());
        metered[rate ? 1 : 0] = dl::RunAnalyser.meters.loudness_frames;
    }
    EXPECT_GT(metered[0], 0u);
    EXPECT_EQ(metered[1], metered[0]);
    EXPECT_FALSE(pictures_.empty());
}

// The user's choice during a play takes effect at once, and off gives the buffers their pictures back.
// The window's timer 2 (which the other tests stand in for) runs at the period of the rate.
TEST_F(DisplayTickTest, ChangingTheRateDuringAPlay) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 0;
    start(steps());
    EXPECT_FALSE(dl::DisplayTimerOn());
    EXPECT_FALSE(window_->has_timer(2));
    dl::Settings.update_rate = 30;
    dl::StartDisplayTimer();
    EXPECT_TRUE(dl::DisplayTimerOn());
    EXPECT_TRUE(window_->has_timer(2));
    EXPECT_EQ(dl::DisplayPeriod, 33u);
    dl::Settings.update_rate = 0;
    dl::StartDisplayTimer();
    EXPECT_FALSE(dl::DisplayTimerOn());
    EXPECT_FALSE(window_->has_timer(2));
    dl::Settings.update_rate = 60;
    dl::StartDisplayTimer();
    dl::StopPlayback();
    EXPECT_FALSE(dl::DisplayTimerOn());
    EXPECT_FALSE(window_->has_timer(2));
}

}  // namespace
