#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_system.h"
#include "platform/sdl_device.h"
#include "platform/wave_out.h"
#include "support/test_support.h"

namespace {

std::vector<uint8_t> pcm_record(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = 1) {
    std::vector<uint8_t> r(18, 0);
    auto w16 = [&](size_t at, uint16_t v) { r[at] = uint8_t(v), r[at + 1] = uint8_t(v >> 8); };
    auto w32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) r[at + i] = uint8_t(v >> (8 * i)); };
    const uint16_t align = uint16_t(channels * bits / 8);
    w16(0, tag);
    w16(2, channels);
    w32(4, rate);
    w32(8, rate * align);
    w16(12, align);
    w16(14, bits);
    return r;
}

// Collects completions from whichever thread reports them.
struct Completions {
    std::mutex m;
    std::vector<int> seen;
    dl::WaveOut::Done done() {
        return [this](int i) {
            std::lock_guard lock(m);
            seen.push_back(i);
        };
    }
    std::vector<int> wait_for(size_t n, int ms = dl_test::kPatienceMs) {
        for (int t = 0; t < ms; t += 5) {
            {
                std::lock_guard lock(m);
                if (seen.size() >= n) return seen;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return now();
    }
    std::vector<int> now() {
        std::lock_guard lock(m);
        return seen;
    }
};

// The disk driver writes what is played into a file.
class DiskDevice : public ::testing::Test {
protected:
    void SetUp() override {
        out_ = dl_test::temp_dir() + "/wave_out_disk.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", out_.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        dl::audio_quit();
    }
    void TearDown() override {
        dev_.reset();
        dl::audio_quit();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIODELAY");
    }
    std::string out_;
    std::unique_ptr<dl::WaveOut> dev_;
};

TEST_F(DiskDevice, PlaysEveryBufferInOrderAndReportsEachOnce) {
    Completions c;
    ASSERT_EQ(dl::wave_out_open(pcm_record(2, 22050, 16), c.done(), dev_), dl::kWaveOk);
    std::vector<std::vector<uint8_t>> data(3);
    std::vector<dl::WaveHeader> h(3);
    for (int i = 0; i < 3; ++i) {
        data[i].resize(5000 + 4 * i);
        for (size_t k = 0; k < data[i].size(); ++k) data[i][k] = uint8_t(1 + (k * 7 + i * 31) % 250);
        h[i].data = data[i].data();
        h[i].length = uint32_t(data[i].size());
        EXPECT_EQ(dev_->write(h[i], i), dl::kWaveUnprepared);  // not prepared yet
        ASSERT_EQ(dev_->prepare(h[i]), dl::kWaveOk);
        ASSERT_EQ(dev_->write(h[i], i), dl::kWaveOk);
    }
    EXPECT_EQ(c.wait_for(3), (std::vector<int>{0, 1, 2}));
    dl::DevicePosition pos;
    ASSERT_EQ(dev_->get_position(pos), dl::kWaveOk);
    EXPECT_EQ(pos.type, dl::PositionType::Bytes);
    EXPECT_LE(pos.value, 15012u);
    EXPECT_EQ(dev_->close(), dl::kWaveOk);
    dev_.reset();
    EXPECT_EQ(c.seen.size(), 3u);  // nothing after close

    const std::string played = dl_test::read_file(out_);
    std::string expected;
    for (auto& d : data) expected.append(d.begin(), d.end());
    const size_t at = played.find(expected.substr(0, 64));
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(played.substr(at, expected.size()), expected);
    for (size_t k = 0; k < at; ++k) ASSERT_EQ(played[k], 0) << "leading bytes are silence";
}

TEST_F(DiskDevice, ResetReturnsAllQueuedBuffersInOrder) {
    setenv("SDL_DISKAUDIODELAY", "200", 1);  // slow enough that the buffers are still queued
    Completions c;
    ASSERT_EQ(dl::wave_out_open(pcm_record(1, 8000, 8), c.done(), dev_), dl::kWaveOk);
    std::vector<uint8_t> data(40000, 0x90);
    std::vector<dl::WaveHeader> h(4);
    for (int i = 0; i < 4; ++i) {
        h[i].data = data.data() + 10000 * i;
        h[i].length = 10000;
        dev_->prepare(h[i]);
        ASSERT_EQ(dev_->write(h[i], i), dl::kWaveOk);
    }
    EXPECT_EQ(dev_->close(), dl::kWaveStillPlaying);
    EXPECT_EQ(dev_->reset(), dl::kWaveOk);
    EXPECT_EQ(c.now(), (std::vector<int>{0, 1, 2, 3})) << "all back by the time reset returns";
    dl::DevicePosition pos;
    dev_->get_position(pos);
    EXPECT_EQ(pos.value, 0u);
    EXPECT_EQ(dev_->close(), dl::kWaveOk);
}

TEST_F(DiskDevice, ManySmallBuffersComeBackOnceInOrderAndALongQueueIsRefused) {
    setenv("SDL_DISKAUDIODELAY", "200", 1);
    Completions c;
    ASSERT_EQ(dl::wave_out_open(pcm_record(1, 8000, 8), c.done(), dev_), dl::kWaveOk);
    // Buffers much smaller than a period: several finish in one callback.
    std::vector<uint8_t> data(64 * 40, 0x90);
    std::vector<dl::WaveHeader> h(65);
    int refused = 0;
    for (int i = 0; i < 65; ++i) {
        h[i].data = data.data() + 40 * (i % 64);
        h[i].length = 40;
        dev_->prepare(h[i]);
        if (dev_->write(h[i], i) != dl::kWaveOk) ++refused;
    }
    EXPECT_EQ(refused, 1) << "64 buffers wait at most";
    EXPECT_EQ(dev_->reset(), dl::kWaveOk);
    std::vector<int> expected(64);
    for (int i = 0; i < 64; ++i) expected[i] = i;
    EXPECT_EQ(c.now(), expected) << "all back by the time reset returns";
    EXPECT_EQ(dev_->write(h[64], 64), dl::kWaveOk) << "room again once they are back";
    EXPECT_EQ(dev_->reset(), dl::kWaveOk);
    EXPECT_EQ(dev_->close(), dl::kWaveOk);
    dev_.reset();
    EXPECT_EQ(c.seen.size(), 65u);
}

TEST_F(DiskDevice, RefusesWhatItCannotPlay) {
    Completions c;
    EXPECT_EQ(dl::wave_out_open(pcm_record(2, 44100, 16, 0x55), c.done(), dev_), dl::kWaveBadFormat);
    EXPECT_EQ(dl::wave_out_open(pcm_record(3, 44100, 16), c.done(), dev_), dl::kWaveBadFormat);
    EXPECT_EQ(dl::wave_out_open(pcm_record(1, 44100, 24), c.done(), dev_), dl::kWaveBadFormat);
    EXPECT_EQ(dl::wave_out_open(pcm_record(1, 0, 16), c.done(), dev_), dl::kWaveBadFormat);
    EXPECT_EQ(dl::wave_out_open(std::vector<uint8_t>(8, 0), c.done(), dev_), dl::kWaveBadFormat);
    EXPECT_FALSE(dev_);
    EXPECT_EQ(dl::wave_out_check_format(pcm_record(2, 2756, 8)), dl::kWaveOk);
}

TEST(InstantDevice, ReportsEachBufferAsItIsWritten) {
    std::vector<int> seen;
    std::unique_ptr<dl::WaveOut> dev;
    ASSERT_EQ(dl::wave_out_open_instant(pcm_record(1, 11025, 16), [&](int i) { seen.push_back(i); }, dev),
              dl::kWaveOk);
    uint8_t buf[64] = {};
    dl::WaveHeader h{buf, 64};
    dev->prepare(h);
    dev->write(h, 2);
    EXPECT_EQ(seen, std::vector<int>{2});
    dev->write(h, 0);
    EXPECT_EQ(seen, (std::vector<int>{2, 0}));
    dl::DevicePosition pos;
    EXPECT_NE(dev->get_position(pos), dl::kWaveOk);  // callers use their own clock
    EXPECT_EQ(dev->bytes_per_second(), 22050u);
}

}  // namespace

namespace {

TEST(WaveOutPeriod, NoMoreThanHalfOfWhatThePlayKeepsQueued) {
    // Four buffers of 128 frames (the finest slice at 44.1 kHz): a period of 256, not 1024.
    EXPECT_EQ(dl::sdl::callback_frames(44100, 4 * 128), 256);
    EXPECT_EQ(dl::sdl::callback_frames(48000, 4 * 192), 256);
    EXPECT_EQ(dl::sdl::callback_frames(8000, 4 * 32), 64);
    EXPECT_EQ(dl::sdl::callback_frames(8000, 4), 64) << "never below 64 frames";
    // The usual slices and unknown queues keep the usual period.
    EXPECT_EQ(dl::sdl::callback_frames(44100, 4 * 8192), 1024);
    EXPECT_EQ(dl::sdl::callback_frames(44100, 0), 1024);
    EXPECT_EQ(dl::sdl::callback_frames(22050, 0), 512);
}

}  // namespace
