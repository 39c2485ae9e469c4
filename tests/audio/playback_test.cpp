#include <gtest/gtest.h>
#include <unistd.h>

#include "audio/conversion.h"
#include "audio/run.h"
#include "platform/wave_format.h"
#include "platform/wave_out.h"
#include "playback_fixture.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "support/fake_clock.h"

namespace {

using play_test::PlaybackFixture;

std::vector<uint8_t> record(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t bps, uint16_t align,
                            uint16_t bits, uint16_t mpeg_block = 0) {
    std::vector<uint8_t> r(tag == 0x55 ? 30 : 18, 0);
    dl::wr16(r, dl::kFmtTag, tag);
    dl::wr16(r, dl::kFmtChannels, channels);
    dl::wr32(r, dl::kFmtRate, rate);
    dl::wr32(r, dl::kFmtBytesPerSec, bps);
    dl::wr16(r, dl::kFmtBlockAlign, align);
    dl::wr16(r, dl::kFmtBits, bits);
    if (tag == 0x55) dl::wr16(r, 24, mpeg_block);
    return r;
}

struct SizesCase : ::testing::Test {
    dl::SettingsRecord saved = dl::Settings;
    int buffers = dl::BufferCount;
    void TearDown() override {
        dl::Settings = saved;
        dl::BufferCount = buffers;
    }
};

TEST_F(SizesCase, StreamingPcmBuffersSpanOneTimeSlice) {
    dl::BufferCount = 4;
    dl::Settings.deltatime = 2048;
    dl::ComputeBufferSizes(record(1, 2, 44100, 176400, 4, 16));
    EXPECT_EQ(dl::BlockBytes, 32768u);
    EXPECT_EQ(dl::ChunkSize, 32768u);
    EXPECT_EQ(dl::InitialLevelScanStride(44100, 2, 4), 16u);
    EXPECT_EQ(dl::InitialLevelScanStride(48000, 1, 4), 10u);
    EXPECT_EQ(dl::InitialLevelScanStride(8000, 1, 4), 2u);
    EXPECT_EQ(dl::InitialLevelScanStride(44100, 2, 1), 1u);

    // 8000 Hz family: deltatime counts samples at 8 kHz.
    dl::ComputeBufferSizes(record(1, 1, 16000, 32000, 2, 16));
    EXPECT_EQ(dl::BlockBytes, 4u * 2048);
    // 12 kHz and odd rates round; a chunk is lowered to whole blocks.
    dl::Settings.deltatime = 100;
    dl::ComputeBufferSizes(record(1, 2, 12000, 48000, 4, 16));
    EXPECT_EQ(dl::BlockBytes, 600u);
    dl::ComputeBufferSizes(record(1, 2, 22050, 66150, 3, 8));  // a made-up 3-byte frame
    EXPECT_EQ(dl::BlockBytes, 600u);
    EXPECT_EQ(dl::ChunkSize, 600u);
    dl::ComputeBufferSizes(record(1, 1, 7000, 14001, 4, 16));
    EXPECT_EQ(dl::BlockBytes, 175u);
    EXPECT_EQ(dl::ChunkSize, 172u);
}

TEST_F(SizesCase, Layer3ChunksAreWholeFramesOfAnEvenCount) {
    dl::BufferCount = 4;
    dl::Settings.deltatime = 2048;
    // 128 kbit/s at 44.1 kHz: 16000 bytes per second, 417-byte frames, block align 1.
    dl::ComputeBufferSizes(record(0x55, 2, 44100, 16000, 1, 0, 417));
    EXPECT_EQ(dl::BlockBytes, 2972u);  // round(16000 / 11025 * 2048)
    EXPECT_EQ(dl::ChunkSize, 2919u);   // lowered to 7 frames
    EXPECT_EQ(dl::SourceInfo.block_align, 417);
    // A made-up record with block align 2 and 300-byte frames: 2972 -> 2972 (even) -> 2700 (9 frames).
    dl::ComputeBufferSizes(record(0x55, 2, 44100, 16000, 2, 0, 300));
    EXPECT_EQ(dl::ChunkSize, 2700u);
    // A chunk smaller than one frame: F + 4 when the block is below 1.5 frames, else two frames.
    dl::Settings.deltatime = 256;
    dl::ComputeBufferSizes(record(0x55, 2, 44100, 16000, 1, 0, 417));
    EXPECT_EQ(dl::BlockBytes, 372u);
    EXPECT_EQ(dl::ChunkSize, 421u);
    dl::Settings.deltatime = 512;
    dl::ComputeBufferSizes(record(0x55, 2, 44100, 16000, 1, 0, 417));
    EXPECT_EQ(dl::BlockBytes, 743u);
    EXPECT_EQ(dl::ChunkSize, 834u);
    // The 8000 Hz rule does not apply to layer 3: 48 kHz at 128 kbit/s rounds by the 0.125 rule.
    dl::Settings.deltatime = 2048;
    dl::ComputeBufferSizes(record(0x55, 2, 48000, 16000, 1, 0, 384));
    EXPECT_EQ(dl::BlockBytes, 4096u);
    EXPECT_EQ(dl::ChunkSize, 3840u);
}

TEST_F(SizesCase, MemoryModeTakesUpToMemSize) {
    dl::BufferCount = 1;
    dl::Settings.MemSize = 2;
    dl::SourceInfo.DataTotal = 3u << 20;
    dl::ComputeBufferSizes(record(1, 2, 44100, 176400, 4, 16));
    EXPECT_EQ(dl::ChunkSize, 2u << 20);
    dl::SourceInfo.DataTotal = 1000;
    dl::ComputeBufferSizes(record(1, 2, 44100, 176400, 4, 16));
    EXPECT_EQ(dl::ChunkSize, 1000u);
    const int version = dl::PlatformVersion;
    dl::PlatformVersion = 778;
    dl::SourceInfo.DataTotal = 3u << 20;
    dl::ComputeBufferSizes(record(1, 2, 44100, 176400, 4, 16));
    EXPECT_EQ(dl::ChunkSize, (2u << 20) - 4);
    dl::PlatformVersion = version;
}

TEST(Pacing, WaitsMostOfABufferAndLessForShortOnes) {
    // 32768 bytes at 176400 B/s last 185.8 ms: 95 % is 176.
    EXPECT_EQ(dl::PacingWaitMs(32768, 176400, 0, 1, 0x0A00), 176u);
    // Half the rate doubles it; the cap is 400.
    EXPECT_EQ(dl::PacingWaitMs(32768, 176400, -120, 1, 0x0A00), 353u);
    EXPECT_EQ(dl::PacingWaitMs(32768, 176400, -240, 1, 0x0A00), 400u);
    // Layer 3 halves; 113 and below is cut to two thirds.
    EXPECT_EQ(dl::PacingWaitMs(32768, 176400, 0, 0x55, 0x0A00), 88u * 66 / 100);
    EXPECT_EQ(dl::PacingWaitMs(16384, 176400, 0, 1, 0x0A00), 58u);
    // Older platforms cut only at 50 and below.
    EXPECT_EQ(dl::PacingWaitMs(16384, 176400, 0, 1, 862), 88u);
    EXPECT_EQ(dl::PacingWaitMs(32768, 0, 0, 1, 0x0A00), 0u);
}

TEST_F(PlaybackFixture, Stereo16AndMono8PlayToTheEndWithEverySampleInOrder) {
    dl::Settings.deltatime = 2048;
    const std::string stereo = play_test::pattern(32768 * 6 + 1000, 1);
    start(make_wav("s16.wav", 2, 44100, 16, stereo));
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(dl::BufferCount, 4);
    EXPECT_EQ(dl::LevelScanStride, 16u);
    expect_controls_running();
    ASSERT_TRUE(play_to_end());
    expect_played(stereo, 0);
    expect_controls_idle();
    EXPECT_FALSE(dl::SourceFile) << "the file is closed at the end";
    // Every buffer analysed once, in order, as it started to sound.
    ASSERT_EQ(blocks_.size(), 7u);
    for (size_t i = 0; i < blocks_.size(); ++i) EXPECT_NEAR(blocks_[i], i * 32768 / 176400.0, 1e-9);

    blocks_.clear();
    const std::string mono = play_test::pattern(4096 * 5 + 77, 2);
    start(make_wav("m8.wav", 1, 22050, 8, mono));
    ASSERT_TRUE(play_to_end());
    expect_played(mono, 0x80);
    EXPECT_EQ(blocks_.size(), 6u);
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(PlaybackFixture, FileShorterThanFourChunksEndsWithItsLastBuffer) {
    dl::Settings.deltatime = 2048;
    const std::string data = play_test::pattern(32768 * 2 + 5000, 3);
    start(make_wav("short.wav", 2, 44100, 16, data));
    EXPECT_EQ(dl::BufferBytes[2], 5000u);
    EXPECT_EQ(dl::BufferBytes[3], 0u);
    EXPECT_EQ(dl::WaveHeaders[2].user, 2u | dl::kLastBufferMark);
    EXPECT_EQ(dl::WaveHeaders[1].user, 1u);
    ASSERT_TRUE(play_to_end());
    expect_played(data, 0);
    EXPECT_EQ(blocks_.size(), 3u);
    expect_controls_idle();
}

TEST_F(PlaybackFixture, StopReturnsTheControlsAndTheNextStartBeginsAgain) {
    dl::Settings.deltatime = 2048;
    shift_ = false;  // paced: the stop lands in the middle
    const std::string data = play_test::pattern(32768 * 20, 4);
    const std::string path = make_wav("long.wav", 2, 44100, 16, data);
    start(path);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_TRUE(dl::TickPacing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return blocks_.size() >= 3; }, dl_test::kPatienceMs));
    dl::StopPlayback();
    EXPECT_FALSE(dl::SourceState.running);
    expect_controls_idle();
    const size_t analysed = blocks_.size();
    pump(300);  // the returned buffers arrive now and change nothing
    EXPECT_EQ(blocks_.size(), analysed);
    EXPECT_FALSE(dl::WaveOutDevice);
    EXPECT_FALSE(dl::SourceFile);

    shift_ = true;
    blocks_.clear();
    dl::StartPlayback();  // reopens the file
    ASSERT_TRUE(dl::SourceState.running);
    ASSERT_FALSE(blocks_.empty());
    EXPECT_EQ(blocks_[0], 0.0);
    ASSERT_TRUE(play_to_end());
    expect_played(data, 0);
    EXPECT_EQ(blocks_.size(), 20u);
}

TEST_F(PlaybackFixture, MemoryModePlaysTheFirstMemSizeMebibytes) {
    dl::Settings.OnMem = 1;
    dl::Settings.MemSize = 2;
    const std::string data = play_test::pattern(3u << 20, 5);
    start(make_wav("big.wav", 2, 44100, 16, data));
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(dl::BufferCount, 1);
    EXPECT_EQ(dl::ChunkSize, 2u << 20);
    EXPECT_EQ(dl::WaveHeaders[0].user, dl::kLastBufferMark);
    EXPECT_EQ(blocks_.size(), 1u) << "the first block is analysed at once";
    EXPECT_TRUE(window_->has_timer(1));
    ASSERT_TRUE(play_to_end());
    EXPECT_FALSE(window_->has_timer(1));
    expect_played(data.substr(0, 2u << 20), 0);
    const std::string played = dl_test::read_file(disk_);
    EXPECT_EQ(played.find(data.substr((2u << 20), 64)), std::string::npos) << "nothing beyond 2 MiB";
    expect_controls_idle();
}

TEST_F(PlaybackFixture, PlayRateMinus120OpensTheDeviceAtHalfTheRate) {
    dl::Settings.PlayRate = -120;
    start(make_wav("rate.wav", 2, 44100, 16, play_test::pattern(32768 * 8, 6)));
    ASSERT_TRUE(dl::WaveOutDevice);
    EXPECT_DOUBLE_EQ(dl::RateFactor, 0.5);
    EXPECT_EQ(dl::WaveOutDevice->bytes_per_second(), 22050u * 4);
    dl::StopPlayback();
}

// The paced waits are counted on a clock of the test's own: the program's time, not the machine's.
TEST_F(PlaybackFixture, ShiftAtStartTurnsThePacingOff) {
    dl::Settings.deltatime = 1024;  // 16384-byte buffers: a paced wait of 58 ms each
    const std::string data = play_test::pattern(16384 * 12, 7);
    const std::string path = make_wav("pace.wav", 2, 44100, 16, data);
    dl_test::FakeClock clock;
    shift_ = false;
    start(path);
    EXPECT_TRUE(dl::TickPacing);
    ASSERT_TRUE(play_to_end());
    const uint32_t paced = clock.slept();
    EXPECT_GE(paced, 11u * 58) << "twelve paced completions";

    shift_ = true;
    dl::StartPlayback();
    EXPECT_FALSE(dl::TickPacing);
    ASSERT_TRUE(play_to_end());
    EXPECT_EQ(clock.slept(), paced) << "no paced wait";
    expect_played(data, 0);
}

TEST_F(PlaybackFixture, EachAnalysedBlockIsTheOneThatJustStartedToSound) {
    dl::Settings.deltatime = 1024;
    dl::Settings.fftparam = 11;
    const std::vector<double> hz{500, 1000, 2000};
    start(make_wav("tones.wav", 1, 11025, 16, play_test::tones(11025, hz, 1.0)));
    ASSERT_TRUE(play_to_end());
    const std::vector<std::pair<double, double>>& peaks = block_peaks_;
    ASSERT_GE(peaks.size(), 30u);
    const double block_seconds = 2048.0 / 22050;
    int seen[3] = {0, 0, 0};
    for (auto [t, f] : peaks) {
        const int segment = int(t);
        if (segment > 2 || int(t + block_seconds - 1e-9) != segment) continue;  // spans a change
        EXPECT_NEAR(f, hz[size_t(segment)], 6.0) << "block at " << t;
        ++seen[segment];
    }
    for (int s : seen) EXPECT_GE(s, 8);
}

}  // namespace

TEST_F(PlaybackFixture, AFileThatShrinksWhileItPlaysEndsWithTheReadError) {
    dl::Settings.deltatime = 2048;
    // Sound the device takes as it is, and sound that goes through the converter.
    for (uint16_t bits : {uint16_t(16), uint16_t(24)}) {
        boxes_.boxes.clear();
        const std::string data = play_test::pattern(size_t(bits / 8) * 2 * 44100 * 4, 5);
        const std::string path = make_wav("shrinks" + std::to_string(bits) + ".wav", 2, 44100, bits, data);
        start(path);
        ASSERT_TRUE(dl::SourceState.running) << bits;
        ASSERT_EQ(truncate(path.c_str(), 44 + 300000), 0);
        ASSERT_TRUE(play_to_end()) << bits;
        ASSERT_EQ(boxes_.texts().size(), 1u) << bits;
        EXPECT_EQ(boxes_.texts()[0].rfind("can't read data. ", 0), 0u) << boxes_.texts()[0];
        expect_controls_idle();
        EXPECT_LT(blocks_.size(), 15u) << "no blocks past the new end (21 in the whole file)";
        blocks_.clear();
        dl::CloseSource();
    }
}

TEST_F(PlaybackFixture, TheFinestSlicesWithTheLargestTransformPlayGapless) {
    // 128 frames a buffer, four queued, against a device that takes 1024 a period.
    dl::Settings.deltatime = 32;
    dl::Settings.fftparam = 16;
    shift_ = false;
    const std::string data = play_test::pattern(size_t(44100) * 4 * 2, 9);
    start(make_wav("fine.wav", 2, 44100, 16, data));
    ASSERT_TRUE(dl::SourceState.running);
    ASSERT_TRUE(play_to_end(60000));
    expect_played(data, 0);
    EXPECT_TRUE(boxes_.boxes.empty());
    // Every slice analysed, in order.
    ASSERT_EQ(blocks_.size(), (data.size() + 511) / 512);
    for (size_t i = 1; i < blocks_.size(); ++i) ASSERT_NEAR(blocks_[i] - blocks_[i - 1], 128 / 44100.0, 1e-9) << i;
}

namespace {

// The opened device, but one that stops taking buffers once told to.
class RefusingDevice : public dl::WaveOut {
public:
    explicit RefusingDevice(std::unique_ptr<dl::WaveOut> device) : device_(std::move(device)) {}
    int write(dl::WaveHeader& header, int index) override {
        return refuse ? dl::kWaveNoMemory : device_->write(header, index);
    }
    int reset() override { return device_->reset(); }
    int get_position(dl::DevicePosition& position) override { return device_->get_position(position); }
    int close() override { return device_->close(); }
    uint32_t bytes_per_second() const override { return device_->bytes_per_second(); }
    bool refuse = false;

private:
    std::unique_ptr<dl::WaveOut> device_;
};

}  // namespace

TEST_F(PlaybackFixture, ADeviceThatRefusesARefilledBufferEndsThePlayAndSaysSo) {
    dl::Settings.deltatime = 2048;
    const std::string data = play_test::pattern(size_t(2) * 2 * 44100 * 4, 7);
    start(make_wav("refused.wav", 2, 44100, 16, data));
    ASSERT_TRUE(dl::SourceState.running);
    auto device = std::make_unique<RefusingDevice>(std::move(dl::WaveOutDevice));
    RefusingDevice* refusing = device.get();
    dl::WaveOutDevice = std::move(device);
    refusing->refuse = true;
    ASSERT_TRUE(play_to_end()) << "a ring left short must not run on";
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "failed WaveOutWrite");
    expect_controls_idle();
    EXPECT_EQ(events_.back(), dl::RunEvent::Ended);
}
