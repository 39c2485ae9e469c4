// A playing file's picture on its own clock: as many pictures a second as the user asked, each of the
// sound heard at that moment, while the buffers go on a time slice at a time.
#include <algorithm>
#include <cstdlib>

#include "analysis/pitch.h"
#include "audio/display_tick.h"
#include "playback_fixture.h"
#include "resources/command_ids.h"
#include "state/meters.h"
#include "state/settings.h"
#include "state/tick_clock.h"

namespace {

using play_test::PlaybackFixture;

constexpr uint32_t kRate = 11025;
constexpr double kStep = 0.5;  // seconds of each tone
const std::vector<double> kTones = {500.0, 1000.0, 2000.0};

class DisplayTickTest : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        dl::PictureObserver = [this](double s, const dl::BlockAnalysis& a) {
            pictures_.push_back(s);
            if (a.peak_shown) picture_peaks_.emplace_back(s, a.peak_frequency);
        };
    }
    std::vector<double> pictures_;
    std::vector<std::pair<double, double>> picture_peaks_;
    // Three rising tones, played in real time (the disk driver at its own pace).
    std::string steps() {
        unsetenv("SDL_DISKAUDIODELAY");
        return make_wav("steps.wav", 1, kRate, 16, play_test::tones(kRate, kTones, kStep));
    }
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
    EXPECT_TRUE(dl::VoicePointerActive());
    dl::Purpose = dl::AnalysisPurpose::RowsOnly;
    EXPECT_TRUE(dl::VoicePointerActive());
    dl::Purpose = dl::AnalysisPurpose::PictureOnly;
    EXPECT_FALSE(dl::VoicePointerActive());
    dl::Purpose = dl::AnalysisPurpose::Both;
    dl::VoicePointerSteers = false;
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
    ASSERT_TRUE(play_to_end());
    const std::vector<double> rows = blocks_;
    const auto row_peaks = block_peaks_;
    EXPECT_LE(rows.size(), 10u) << "one row a slice of 1.5 s";
    EXPECT_TRUE(pictures_.empty());

    blocks_.clear();
    block_peaks_.clear();
    dl::Settings.update_rate = 30;
    start(file);
    EXPECT_TRUE(dl::DisplayTimerOn());
    ASSERT_TRUE(play_to_end());
    EXPECT_FALSE(dl::DisplayTimerOn()) << "the end of the play stops the timer";
    EXPECT_EQ(blocks_, rows) << "the rows are the slices' whatever the pictures";
    EXPECT_EQ(block_peaks_, row_peaks);
    EXPECT_GE(pictures_.size(), 3 * rows.size()) << "pictures " << pictures_.size() << " against " << rows.size();
    EXPECT_TRUE(std::is_sorted(pictures_.begin(), pictures_.end()));
    // Their times are the sound's: spread over the play rather than bunched at the slices.
    double widest_gap = 0;
    for (size_t k = 1; k < pictures_.size(); ++k) widest_gap = std::max(widest_gap, pictures_[k] - pictures_[k - 1]);
    EXPECT_LT(widest_gap, 0.15);
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
    ASSERT_TRUE(play_to_end());
    EXPECT_LE(pictures_.size(), 10u);
    EXPECT_GE(pictures_.size(), 6u);
    for (size_t k = 1; k < pictures_.size(); ++k) EXPECT_GE(pictures_[k] - pictures_[k - 1], 2048.0 / kRate - 1e-9);
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
        ASSERT_TRUE(play_to_end());
        metered[rate ? 1 : 0] = dl::LevelMeters.loudness_frames;
    }
    EXPECT_GT(metered[0], 0u);
    EXPECT_EQ(metered[1], metered[0]);
    EXPECT_FALSE(pictures_.empty());
}

// The user's choice during a play takes effect at once, and off gives the buffers their pictures back.
TEST_F(DisplayTickTest, ChangingTheRateDuringAPlay) {
    dl::Settings.deltatime = 2048;
    dl::Settings.update_rate = 0;
    start(steps());
    EXPECT_FALSE(dl::DisplayTimerOn());
    dl::Settings.update_rate = 30;
    dl::StartDisplayTimer();
    EXPECT_TRUE(dl::DisplayTimerOn());
    dl::Settings.update_rate = 0;
    dl::StartDisplayTimer();
    EXPECT_FALSE(dl::DisplayTimerOn());
    dl::StopPlayback();
    EXPECT_FALSE(dl::DisplayTimerOn());
}

}  // namespace
