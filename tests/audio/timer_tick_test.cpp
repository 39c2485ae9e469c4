#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/fft_fast.h"
#include "audio/playback.h"
#include "audio/run.h"
#include "audio/timer_tick.h"
#include "display/frame.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/window_dc.h"
#include "support/test_support.h"

namespace {

// A device whose position answer the test chooses.
class FakeDevice : public dl::WaveOut {
public:
    int rc = dl::kWaveOk;
    dl::DevicePosition answer;
    int write(dl::WaveHeader&, int) override { return dl::kWaveOk; }
    int reset() override { return dl::kWaveOk; }
    int get_position(dl::DevicePosition& p) override {
        p = answer;
        return rc;
    }
    int close() override { return dl::kWaveOk; }
    uint32_t bytes_per_second() const override { return 22050; }
};

TEST(TimerPeriod, OneTimeSliceSlowedByThePlayRate) {
    EXPECT_EQ(dl::MemoryTimerPeriod(2048, 11, 1.0), 185u);
    EXPECT_EQ(dl::MemoryTimerPeriod(2048, 11, 0.5), 370u);
    EXPECT_EQ(dl::MemoryTimerPeriod(2048, 44, 1.0), 185u);
    EXPECT_EQ(dl::MemoryTimerPeriod(2048, 8, 1.0), 256u);
    EXPECT_EQ(dl::MemoryTimerPeriod(2048, 48, 0.25), 1024u);
    EXPECT_EQ(dl::MemoryTimerPeriod(100, 22, 0.7), 13u);  // 9 ms slices -> 12.86 -> 13
}

TEST(StrideTuning, LateTicksGrowAndPunctualOnesShrink) {
    // 10 % late doubles; 5 % late adds one.
    EXPECT_EQ(dl::TunedStride(4, 110, 10, 100, false), 8u);
    EXPECT_EQ(dl::TunedStride(4, 105, 10, 100, false), 5u);
    EXPECT_EQ(dl::TunedStride(12000, 500, 10, 100, false), 16000u) << "never grows past what the scan uses";
    // Punctual, busy half the time: one down per tick, down to 2 and no further.
    uint32_t s = 6;
    for (int i = 0; i < 10; ++i) s = dl::TunedStride(s, 100, 44, 100, false);
    EXPECT_EQ(s, 1u);
    s = 6;
    for (int i = 0; i < 10; ++i) s = dl::TunedStride(s, 100, 50, 100, false);
    EXPECT_EQ(s, 2u);
    EXPECT_EQ(dl::TunedStride(100, 100, 95, 100, false), 50u);
    EXPECT_EQ(dl::TunedStride(9, 100, 88, 100, false), 8u);
    EXPECT_EQ(dl::TunedStride(8, 100, 88, 100, false), 8u);
    EXPECT_EQ(dl::TunedStride(8, 100, 84, 100, false), 7u);
    // Monitoring needs more spare time.
    EXPECT_EQ(dl::TunedStride(40, 100, 9, 100, true), 20u);
    EXPECT_EQ(dl::TunedStride(20, 100, 4, 100, true), 10u);
    EXPECT_EQ(dl::TunedStride(9, 100, 59, 100, true), 8u);
    EXPECT_EQ(dl::TunedStride(9, 100, 61, 100, true), 9u);
}

TEST(StrideTuning, ExpectedTickFollowsFamilyRateAndMode) {
    const auto saved = dl::Settings;
    const auto info = dl::SourceInfo;
    const int buffers = dl::BufferCount;
    dl::Settings.deltatime = 2048;
    dl::Settings.PlayRate = 0;
    dl::SourceInfo.khz = 44;
    dl::SourceInfo.format_tag = 1;
    dl::BufferCount = 4;
    dl::SourceState.mode = dl::SourceMode::File;
    EXPECT_EQ(dl::ExpectedTickMs(), 186u);
    dl::Settings.PlayRate = -120;
    EXPECT_EQ(dl::ExpectedTickMs(), 372u);
    dl::SourceInfo.khz = 8;
    dl::Settings.PlayRate = 0;
    EXPECT_EQ(dl::ExpectedTickMs(), 256u);
    dl::SourceInfo.format_tag = 0x72;
    EXPECT_EQ(dl::ExpectedTickMs(), 358u);
    dl::Settings.deltatime = 128;
    dl::BufferCount = 1;
    EXPECT_EQ(dl::ExpectedTickMs(), 55u);
    dl::Settings = saved;
    dl::SourceInfo = info;
    dl::BufferCount = buffers;
    dl::SourceState = {};
}

// A memory-mode play of 11,025 Hz 16-bit mono (22,050 bytes per second) with 2,000-byte blocks.
class TimerTickCase : public ::testing::Test {
protected:
    void SetUp() override {
        saved_info_ = dl::SourceInfo;
        dl::PrepareDisplayResources();
        dl::SourceState = {dl::SourceMode::File, true};
        dl::SourceInfo.format_tag = 1;
        dl::SourceInfo.sample_rate = 11025;
        dl::SourceInfo.khz = 11;
        dl::SourceInfo.source_bytes_per_second = dl::SourceInfo.output_bytes_per_second = 22050;
        dl::SourceInfo.block_align = 2;
        dl::SourceInfo.bits = 16;
        dl::SourceInfo.ChannelLayout = 1;
        dl::BufferCount = 1;
        dl::ChunkSize = 22050;
        dl::BlockBytes = 2000;
        dl::RateFactor = 1.0;
        dl::SampleStorage[0].assign(dl::ChunkSize, 0);
        dl::SampleStorage[1].assign(dl::BlockBytes, 0);
        dl::SampleBuffers[0] = dl::SampleStorage[0].data();
        dl::SampleBuffers[1] = dl::SampleStorage[1].data();
        auto dev = std::make_unique<FakeDevice>();
        device_ = dev.get();
        dl::WaveOutDevice = std::move(dev);
        dl::StartTime = 1000;
        dl::LastAnalysedEnd = 0;
        dl::AnalysisObserver = [this](double s, const dl::BlockAnalysis&) { starts_.push_back(int(s * 22050 + 0.5)); };
    }
    void TearDown() override {
        dl::AnalysisObserver = nullptr;
        dl::WaveOutDevice.reset();
        dl::FreeWaveBuffers();
        dl::SourceState = {};
        dl::SourceInfo = saved_info_;
        dl::BufferCount = 4;
    }
    // Runs one tick; returns (start, length) of the analysed block, or (-1, 0) when none.
    std::pair<int, int> tick(uint32_t now) {
        const size_t before = starts_.size();
        const int32_t end_before = dl::LastAnalysedEnd;
        dl::WindowDc dc;
        dl::TimerTick(dc, now);
        EXPECT_EQ(dl::SampleBuffers[1], dl::SampleStorage[1].data()) << "slot 1 is put back";
        if (starts_.size() == before) {
            EXPECT_EQ(dl::LastAnalysedEnd, end_before);
            return {-1, 0};
        }
        return {starts_.back(), dl::LastAnalysedEnd - starts_.back()};
    }
    dl::SourceInfoRecord saved_info_;
    FakeDevice* device_ = nullptr;
    std::vector<int> starts_;
};

TEST_F(TimerTickCase, FirstTickAtTheStartTimeAnalysesOffsetZero) {
    device_->rc = dl::kWaveError;  // not even asked
    EXPECT_EQ(tick(1000), std::make_pair(0, 2000));
}

TEST_F(TimerTickCase, PositionFromBytesMillisecondsSamplesOrTheClock) {
    device_->answer = {dl::PositionType::Bytes, 11025};  // 500 ms
    EXPECT_EQ(tick(1100), std::make_pair(0, 13024)) << "reaches back to what was analysed before (nothing)";
    dl::LastAnalysedEnd = 11000;
    device_->answer = {dl::PositionType::Ms, 600};  // byte 13230
    EXPECT_EQ(tick(1200), std::make_pair(11000, 4230));
    device_->answer = {dl::PositionType::Samples, 7717};  // 699 ms -> byte 15413 -> 15412
    EXPECT_EQ(tick(1300), std::make_pair(15230, 2182));
    device_->rc = dl::kWaveError;  // wall clock: 800 ms, scaled by the rate factor
    dl::RateFactor = 0.5;
    dl::LastAnalysedEnd = 8000;
    EXPECT_EQ(tick(1800), std::make_pair(8000, 2820));  // 400 ms -> byte 8820
}

TEST_F(TimerTickCase, OverlapRules) {
    device_->answer = {dl::PositionType::Ms, 500};  // byte 11025 -> 11024
    dl::LastAnalysedEnd = 14000;  // the position went back behind what was analysed
    EXPECT_EQ(tick(1100), std::make_pair(-1, 0)) << "offset 0 after earlier blocks: nothing";
    dl::LastAnalysedEnd = 2000;  // far behind: the block reaches back to it
    EXPECT_EQ(tick(1200), std::make_pair(2000, 11024));
    device_->answer = {dl::PositionType::Ms, 990};  // byte 21829 -> 21828: only 222 bytes left
    EXPECT_EQ(tick(1300), std::make_pair(13024, 9026));
    device_->answer = {dl::PositionType::Ms, 1000};  // past the buffer
    EXPECT_EQ(tick(1400), std::make_pair(-1, 0));
}

// Every tick's block goes to the observer with its start, and the run's stride keeps to what the
// scan took for it (a sixty-fourth of a mono 16-bit time slice at most).
TEST_F(TimerTickCase, ATicksBlockIsHandedOverWithItsStartAndTheStrideItWasScannedWith) {
    dl::LevelScanStride = 100000;
    {
        dl::WindowDc dc;
        dl::AnalyseTickBlock(dc, {dl::SampleBuffers[0], 2000, 0.5});
    }
    EXPECT_EQ(dl::LevelScanStride, 31u);
    EXPECT_EQ(starts_, std::vector<int>{11025});
    dl::LevelScanStride = 7;
    {
        dl::WindowDc dc;
        dl::AnalyseTickBlock(dc, {dl::SampleBuffers[0], 2000, 1.0});
    }
    EXPECT_EQ(dl::LevelScanStride, 7u);
}

// An analysis that had to stop (here the inverse transform of the autocorrelation mode finds no
// room) is said in a message box and the program ends with its status; the block is not handed on.
TEST_F(TimerTickCase, AnAnalysisThatStopsIsToldAndEndsTheProgram) {
    dl::Settings.wavmode = 2;
    dl::Settings.fftparam = 8;  // the autocorrelation's inverse is the split transform
    // No memory for the transform at all: its tables are done without (and said to have been),
    // but the inverse of the autocorrelation cannot go on without its scratch.
    dl::fft_fast::release_all();
    dl::fft_fast::fail_next_allocations = 1000;
    const auto saved_report = dl::FftNoMemoryReport;
    std::vector<std::string> reports;
    dl::FftNoMemoryReport = [&](const std::string& text) { reports.push_back(text); };
    dl_test::MessageBoxCapture boxes;
    int status = -1;
    {
        dl_test::EndProcessCapture ends;
        try {
            dl::WindowDc dc;
            dl::AnalyseTickBlock(dc, {dl::SampleBuffers[0], 2000, 0.5});
        } catch (const dl_test::ProcessEnded& e) {
            status = e.code;
        }
    }
    dl::fft_fast::fail_next_allocations = 0;
    dl::FftNoMemoryReport = saved_report;
    dl::Settings = dl::SettingsRecord{};
    EXPECT_EQ(status, 1);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "fft2");
    EXPECT_TRUE(boxes.boxes[0].owned);
    EXPECT_FALSE(reports.empty()) << "the tables done without were said";
    EXPECT_TRUE(starts_.empty()) << "the block was handed on";
}

TEST_F(TimerTickCase, DoesNotNestAndNeedsARunningSource) {
    dl::TimerReentry = 2;
    EXPECT_EQ(tick(1000), std::make_pair(-1, 0));
    dl::TimerReentry = 1;
    dl::SourceState.running = false;
    EXPECT_EQ(tick(1000), std::make_pair(-1, 0));
    dl::SourceState.running = true;
    EXPECT_EQ(tick(1000).first, 0);
    EXPECT_EQ(dl::TimerReentry, 1);
}

TEST_F(TimerTickCase, OldPlatformsAdvanceAStuckPosition) {
    const int version = dl::PlatformVersion;
    dl::PlatformVersion = 779;
    dl::PreviousDevicePosition = 0;
    device_->answer = {dl::PositionType::Ms, 200};
    EXPECT_EQ(tick(1100), std::make_pair(0, 6410));
    EXPECT_EQ(dl::PreviousDevicePosition, 200u);
    EXPECT_EQ(dl::PreviousDevicePositionTime, 1100u);
    // Same answer 100 ms later: the time since it was first seen is added (300 ms -> byte 6614).
    EXPECT_EQ(tick(1200), std::make_pair(6410, 2204));
    dl::PlatformVersion = version;
}

}  // namespace
