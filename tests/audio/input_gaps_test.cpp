// The monitor's account of its input, on an input device the test feeds on a clock of its own (the
// capture queue every device shares): a stall the device never makes up is said with its length and
// the rows after it keep their time; one it makes up for loses nothing; an analysis that falls
// further behind than the ring holds says what it dropped, and the rows after it are of the sound
// heard at their time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "audio/input_timeline.h"
#include "audio/playback_fixture.h"
#include "audio/record_port.h"
#include "display/source_panel.h"
#include "platform/capture_queue.h"
#include "platform/wave_in.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace {

using play_test::PlaybackFixture;

constexpr uint32_t kRate = 11025;
constexpr uint32_t kBps = kRate * 2;  // 16-bit mono
constexpr uint32_t kSlice = 4096;     // a time slice of 2048 samples
constexpr double kSliceSeconds = double(kSlice) / kBps;

// An input device on the capture queue, its clock the test's.
class ClockedWaveIn : public dl::WaveIn {
public:
    ClockedWaveIn(Data data, dl::CaptureQueue::Clock clock) : queue(std::move(data), 2, kBps, std::move(clock)) {}
    int add_buffer(dl::WaveHeader& h, int index) override { return queue.add_buffer(h, index); }
    int start() override {
        queue.set_recording(true);
        return dl::kWaveOk;
    }
    int reset() override {
        queue.reset();
        return dl::kWaveOk;
    }
    int get_position(dl::DevicePosition& p) override {
        p = {dl::PositionType::Bytes, uint32_t(queue.captured())};
        return dl::kWaveOk;
    }
    int close() override { return queue.close() ? dl::kWaveOk : dl::kWaveStillPlaying; }
    uint32_t bytes_per_second() const override { return kBps; }
    void take_gaps(std::vector<dl::CaptureGap>& out) override { queue.take_gaps(out); }
    uint64_t held_bytes() const override { return queue.held(); }

    dl::CaptureQueue queue;
};

class InputGaps : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        dl::Settings.freq = kRate;
        dl::Settings.channel = 1;
        dl::Settings.bits = 16;
        dl::AnalysisObserver = [this](double s, const dl::BlockAnalysis& a) {
            starts_.push_back(s);
            offsets_.push_back(dl::InputBlockOffset);
            peaks_.push_back(a.peak_shown ? a.peak_frequency : 0.0);
        };
        dl::InputGapReport = [this](const dl::CaptureGap& g, const std::string& text) {
            said_.push_back(g);
            texts_.push_back(text);
        };
    }
    // Starts monitoring on a device whose clock is `now` (none: the sound's own pace).
    void start_monitoring(bool clocked) {
        dl::OpenTestWaveIn = [this, clocked](const std::vector<uint8_t>&, dl::WaveIn::Data data,
                                             std::unique_ptr<dl::WaveIn>& out) {
            dl::CaptureQueue::Clock clock;
            if (clocked) clock = [this] { return now_; };
            auto d = std::make_unique<ClockedWaveIn>(std::move(data), std::move(clock));
            device_ = d.get();
            out = std::move(d);
            return dl::kWaveOk;
        };
        dl::SourceState.mode = dl::SourceMode::RecordPort;
        ASSERT_EQ(dl::OpenRecordPort(), dl::Result::Done);
        ASSERT_EQ(dl::StartMonitoring(), dl::Result::Done);
        ASSERT_EQ(dl::ChunkSize, kSlice);
    }
    // `sound` delivered as a device does, in 40 ms pieces, each when its last sample was heard.
    void deliver(const std::string& sound, bool in_time = true) {
        constexpr size_t piece = kBps / 25;
        for (size_t at = 0; at < sound.size(); at += piece) {
            const size_t n = std::min(piece, sound.size() - at);
            if (in_time) now_ += double(n) / kBps;
            device_->queue.take(reinterpret_cast<const uint8_t*>(sound.data() + at), n);
        }
    }
    // Runs the window's event loop until `rows` rows have come (or ten seconds have passed).
    void pump_rows(size_t rows) {
        for (int waited = 0; starts_.size() < rows && waited < 10000; waited += 5) pump(5);
        ASSERT_GE(starts_.size(), rows);
    }

    ClockedWaveIn* device_ = nullptr;
    double now_ = 100.0;
    std::vector<double> starts_, peaks_;
    std::vector<uint64_t> offsets_;
    std::vector<dl::CaptureGap> said_;
    std::vector<std::string> texts_;
};

TEST_F(InputGaps, AStallTheDeviceNeverMakesUpIsSaidWithItsLengthAndTheRowsAfterItKeepTheirTime) {
    start_monitoring(true);
    const std::string tone = play_test::tones(kRate, {440.0}, 3.0);
    deliver(tone.substr(0, kBps));  // a second
    now_ += 2.0;                    // the device stalls for two, and goes on from where it stands
    deliver(tone.substr(kBps));
    pump_rows(16);

    ASSERT_EQ(texts_.size(), 1u);
    EXPECT_EQ(texts_[0],
              "input: 2.000 s of sound missing at 1.000 s: the input device delivered none (a stall or an overrun)");
    EXPECT_EQ(said_[0].cause, dl::GapCause::NotDelivered);
    // Rows before the gap, and the one whose slice it falls in, start where their sound was heard;
    // every one after it two seconds later than the sound recorded before it.
    for (size_t k = 0; k < 16; ++k) {
        const double recorded = double(k) * kSliceSeconds;
        EXPECT_NEAR(starts_[k], k * kSlice < kBps ? recorded : recorded + 2.0, 1e-9) << "row " << k;
        EXPECT_NEAR(peaks_[k], 440.0, 6.0) << "row " << k;
    }
    EXPECT_NEAR(starts_[6] - starts_[5], kSliceSeconds + 2.0, 1e-9);
    EXPECT_EQ(dl::LengthLineText(), "Lost:    2.00 sec    1 gaps");
    dl::JapaneseUi = true;
    EXPECT_EQ(dl::LengthLineText(), "欠落:    2.00 秒    1 回   ");
    EXPECT_EQ(dl::InputGapText(said_[0], 1.0).rfind("入力: 2.000 秒の音が 1.000 秒の位置で", 0), 0u);
    dl::JapaneseUi = false;
    EXPECT_TRUE(boxes_.boxes.empty()) << "said, not a box over a running monitor";

    // A new Start begins a new account.
    dl::StopMonitoring();
    pump(50);
    ASSERT_FALSE(dl::SourceState.running);
    start_monitoring(true);
    EXPECT_EQ(dl::LengthLineText(), "Free: 2097151 kb  97392 sec");
    dl::StopMonitoring();
}

TEST_F(InputGaps, AStallTheServerMakesUpForLosesNothingAndSaysNothing) {
    start_monitoring(true);
    const std::string tone = play_test::tones(kRate, {440.0}, 4.0);
    deliver(tone.substr(0, kBps));
    now_ += 2.0;  // the server stood still, then sends what it kept at once
    deliver(tone.substr(kBps, 2 * kBps), false);
    deliver(tone.substr(3 * kBps));
    pump_rows(21);
    EXPECT_TRUE(texts_.empty());
    for (size_t k = 0; k < 21; ++k) EXPECT_NEAR(starts_[k], double(k) * kSliceSeconds, 1e-9) << "row " << k;
    EXPECT_EQ(dl::LengthLineText().substr(0, 5), "Free:");
}

TEST_F(InputGaps, TheTimeWithoutSoundWhenTheMonitorStopsIsSaid) {
    start_monitoring(true);
    deliver(play_test::tones(kRate, {440.0}, 1.0));
    pump_rows(5);
    now_ += 5.0;  // nothing comes any more; the user stops
    dl::StopMonitoring();
    pump(50);
    ASSERT_FALSE(dl::SourceState.running);
    ASSERT_EQ(texts_.size(), 1u);
    EXPECT_EQ(texts_[0].substr(0, 40), "input: 5.000 s of sound missing at 1.000");
}

// A staircase: a tone whose frequency steps up every second, so that a row shows when its sound was.
double step_hz(double seconds) { return 300.0 + 100.0 * std::floor(seconds); }

TEST_F(InputGaps, AnAnalysisThatFallsFarBehindSaysWhatItDroppedAndTheRowsAfterAreOfTheirTime) {
    start_monitoring(false);
    std::string staircase;
    for (int s = 0; s < 40; ++s) staircase += play_test::tones(kRate, {step_hz(s)}, 1.0);
    // Thirty seconds while the program analyses nothing: the ring keeps what it can.
    const size_t first = 30 * kBps;
    deliver(staircase.substr(0, first));
    // The program catches up until the ring has room again; then the rest comes.
    for (int waited = 0; device_->held_bytes() > 3 * (size_t(16 * kBps) / 4 + 1) && waited < 10000; waited += 5)
        pump(5);
    deliver(staircase.substr(first));
    // Every whole slice of what was kept.
    for (int waited = 0; waited < 10000; waited += 5) {
        const uint64_t kept = staircase.size() - dl::InputLostBytes;
        if (!said_.empty() && dl::RecordedInputBytes + kSlice > kept) break;
        pump(5);
    }

    ASSERT_EQ(said_.size(), 1u) << "one gap for the stretch that found no room";
    const dl::CaptureGap gap = said_[0];
    EXPECT_EQ(gap.cause, dl::GapCause::Overflow);
    EXPECT_EQ(gap.at + gap.bytes, first) << "everything fed while the ring was full, and nothing else";
    char expected[64];
    std::snprintf(expected, sizeof expected, "input: %.3f s of sound dropped at %.3f s", double(gap.bytes) / kBps,
                  double(gap.at) / kBps);
    EXPECT_EQ(texts_[0].substr(0, std::string(expected).size()), expected);
    // Each row shows the step sounding at its time (rows whose slice holds a step, or the gap, aside).
    size_t after_gap = 0;
    for (size_t k = 0; k < starts_.size(); ++k) {
        const bool spans_gap = offsets_[k] < gap.at && gap.at < offsets_[k] + kSlice;
        const double within = starts_[k] - std::floor(starts_[k]);
        if (spans_gap || within < 0.3 || within > 0.75) continue;
        EXPECT_NEAR(peaks_[k], step_hz(starts_[k]), 8.0) << "row " << k << " at " << starts_[k];
        after_gap += offsets_[k] > gap.at;
    }
    EXPECT_GT(after_gap, 10u) << "rows after the gap were checked";
}

// Past 4 GiB of sound (47 minutes at 384 kHz stereo) the rows' times go on rather than start again.
TEST_F(InputGaps, RowTimesGoOnPastFourGibibytesOfSound) {
    start_monitoring(false);
    const uint64_t before = (uint64_t(1) << 32) - 2 * kSlice;
    dl::RecordedInputBytes = before;
    dl::SourceInfo.DataRemaining = uint32_t(before);
    deliver(play_test::tones(kRate, {440.0}, 1.0).substr(0, 4 * kSlice));
    pump_rows(4);
    for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(starts_[k], double(before + k * kSlice) / kBps, 1e-6) << "row " << k;
}

}  // namespace
