// The record-port monitor: on a capture device the test fills itself, and on the sound system's
// own (the disk driver reading known samples).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "audio/playback_fixture.h"
#include "audio/record_port.h"
#include "display/source_panel.h"
#include "platform/audio_system.h"
#include "platform/wave_in.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"
#include "state/tick_clock.h"

namespace {

using play_test::PlaybackFixture;

// A capture device filled by the test: each feed() goes into the queued buffers in order, and a
// full one is reported like the sound system's.
class FakeWaveIn : public dl::WaveIn {
public:
    explicit FakeWaveIn(Data data) : data_(std::move(data)) {}
    int add_buffer(dl::WaveHeader& h, int index) override {
        if (add_result != dl::kWaveOk) return add_result;
        h.recorded = 0;
        queue_.push_back({&h, index});
        return dl::kWaveOk;
    }
    int start() override {
        started = true;
        return start_result;
    }
    int reset() override {
        for (const auto& e : queue_) data_(e.index);
        queue_.clear();
        started = false;
        position_ = 0;
        ++resets;
        return dl::kWaveOk;
    }
    int get_position(dl::DevicePosition& p) override {
        p = {dl::PositionType::Bytes, position_};
        return dl::kWaveOk;
    }
    int close() override {
        closed = true;
        return queue_.empty() ? dl::kWaveOk : dl::kWaveStillPlaying;
    }
    uint32_t bytes_per_second() const override { return 0; }

    void feed(const std::string& bytes) {
        size_t pos = 0;
        position_ += uint32_t(bytes.size());
        while (pos < bytes.size() && !queue_.empty()) {
            dl::WaveHeader& h = *queue_.front().header;
            const size_t n = std::min<size_t>(bytes.size() - pos, h.length - h.recorded);
            std::memcpy(h.data + h.recorded, bytes.data() + pos, n);
            h.recorded += uint32_t(n);
            pos += n;
            if (h.recorded == h.length) {
                data_(queue_.front().index);
                queue_.pop_front();
            }
        }
    }
    size_t queued() const { return queue_.size(); }

    bool started = false, closed = false;
    int start_result = dl::kWaveOk;
    int add_result = dl::kWaveOk;
    int resets = 0;

private:
    struct Entry {
        dl::WaveHeader* header;
        int index;
    };
    Data data_;
    std::deque<Entry> queue_;
    uint32_t position_ = 0;
};

class RecordPort : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        dl::OpenTestWaveIn = [this](const std::vector<uint8_t>&, dl::WaveIn::Data data,
                                    std::unique_ptr<dl::WaveIn>& out) {
            auto d = std::make_unique<FakeWaveIn>(std::move(data));
            device_ = d.get();
            d->start_result = start_result_;
            out = std::move(d);
            return dl::kWaveOk;
        };
        dl::Settings.freq = 11025;
        dl::Settings.channel = 1;
        dl::Settings.bits = 16;
        analysed_ = 0;
        dl::AnalysisObserver = [this](double, const dl::BlockAnalysis& a) {
            ++analysed_;
            if (a.peak_shown) peaks_.push_back(a.peak_frequency);
        };
    }
    // Chooses the record port as the Monitor command does and starts it.
    void start_monitoring() {
        dl::SourceState.mode = dl::SourceMode::RecordPort;
        ASSERT_EQ(dl::OpenRecordPort(), dl::Result::Done);
        dl::StartMonitoring();
    }
    FakeWaveIn* device_ = nullptr;
    int start_result_ = dl::kWaveOk;
    int analysed_ = 0;
    std::vector<double> peaks_;
};

TEST_F(RecordPort, TheRecordFormatAndItsBuffersComeFromTheSettings) {
    dl::Settings.channel = 2;
    dl::SourceState.mode = dl::SourceMode::RecordPort;
    ASSERT_EQ(dl::OpenRecordPort(), dl::Result::Done);
    EXPECT_EQ(dl::SourceInfo.sample_rate, 11025u);
    EXPECT_EQ(dl::SourceInfo.block_align, 4);
    EXPECT_EQ(dl::SourceInfo.source_bytes_per_second, 44100u);
    EXPECT_EQ(dl::SourceInfo.DataRemaining, 0u);
    // Streaming has no end: the "Free:" line shows 2^31 - 1 bytes.
    EXPECT_EQ(dl::LengthLineText(), "Free: 2097151 kb  48696 sec");
    dl::StartMonitoring();
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(dl::BufferCount, 4);
    EXPECT_EQ(dl::ChunkSize, 8192u);  // 44100 / 11025 x 2048
    EXPECT_EQ(dl::BlockBytes, 8192u);
    EXPECT_EQ(device_->queued(), 4u);
    EXPECT_TRUE(device_->started);
    EXPECT_FALSE(dl::SourceFormatHeld) << "the record is rebuilt at the next Start";
    expect_controls_running();
}

TEST_F(RecordPort, EachFullBufferIsAnalysedAndQueuedAgain) {
    start_monitoring();
    ASSERT_TRUE(dl::SourceState.running);
    const std::string tone = play_test::tones(11025, {440.0}, 1.0);
    device_->feed(tone.substr(0, 3 * 4096));  // three buffers of 2048 samples
    pump(50);
    EXPECT_EQ(analysed_, 3);
    EXPECT_EQ(dl::SourceInfo.DataRemaining, 3u * 4096);
    EXPECT_EQ(device_->queued(), 4u) << "every buffer goes back to the device";
    ASSERT_EQ(peaks_.size(), 3u);
    for (double f : peaks_) EXPECT_NEAR(f, 440.0, 11025.0 / 4096);
}

TEST_F(RecordPort, StopEndsAtTheFirstReturnedBufferAndCountsItsShortRecording) {
    start_monitoring();
    device_->feed(play_test::tones(11025, {440.0}, 1.0).substr(0, 4096 + 1000));
    pump(50);
    ASSERT_EQ(analysed_, 1);
    FakeWaveIn* device = device_;
    dl::StopMonitoring();
    EXPECT_EQ(device->resets, 1);
    EXPECT_EQ(dl::RecordStopState, 1);
    pump(50);
    // The short buffer was counted, not analysed; the three after it changed nothing.
    EXPECT_EQ(analysed_, 1);
    EXPECT_EQ(dl::SourceInfo.DataRemaining, 4096u + 1000u);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_EQ(dl::WaveInDevice, nullptr);
    EXPECT_EQ(dl::RecordStopState, 2);
    expect_controls_idle();
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(RecordPort, MemoryModeEndsByItselfWhenTheBufferIsFull) {
    dl::Settings.OnMem = 1;
    dl::Settings.MemSize = 2;
    start_monitoring();
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(dl::BufferCount, 1);
    EXPECT_EQ(dl::ChunkSize, 2u << 20);
    EXPECT_EQ(dl::LengthLineText(), "Free:    2048 kb     95 sec");
    EXPECT_EQ(device_->queued(), 1u);
    // The timer finds the sound at the device position while the buffer fills.
    const std::string second = play_test::tones(11025, {440.0}, 1.0);
    device_->feed(second);
    dl::WindowDc dc;
    dl::TimerTick(dc, dl::StartTime + 1000);
    EXPECT_GE(analysed_, 1);
    std::string rest(size_t(2u << 20) - second.size(), '\0');
    device_->feed(rest);
    pump(50);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_EQ(dl::SourceInfo.DataRemaining, 2u << 20);
    expect_controls_idle();
}

TEST_F(RecordPort, ARecordingThatCannotStartEndsThroughItsReturnedBuffers) {
    start_result_ = dl::kWaveError;
    start_monitoring();
    pump(50);
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"Rec failed"});
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_EQ(dl::WaveInDevice, nullptr);
    expect_controls_idle();
}

TEST_F(RecordPort, ABufferTheDeviceDoesNotTakeBackEndsTheMonitorAndSaysSo) {
    start_monitoring();
    ASSERT_TRUE(dl::SourceState.running);
    device_->add_result = dl::kWaveError;
    device_->feed(play_test::tones(11025, {440.0}, 1.0).substr(0, 4096));
    pump(50);
    EXPECT_EQ(analysed_, 1);
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"AddBuffer failed"});
    EXPECT_FALSE(dl::SourceState.running) << "not left running one buffer short";
    expect_controls_idle();
}

TEST_F(RecordPort, AFormatNoDeviceRecordsIsRefusedWhenThePortIsChosen) {
    dl::OpenTestWaveIn = nullptr;
    dl::Settings.freq = 500;  // below what any device records
    dl::SourceState.mode = dl::SourceMode::RecordPort;
    EXPECT_EQ(dl::OpenRecordPort(), dl::Result::Failed);
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"No support this format"});
    EXPECT_FALSE(dl::SourceFormatHeld);
    dl::JapaneseUi = true;
    EXPECT_STREQ(dl::RecordPortQueryText(dl::kWaveBadFormat), "サウンドドライバは、この形式を録音できません。");
    EXPECT_STREQ(dl::RecordPortQueryText(dl::kWaveAllocated), "すでに割り当てられている");
    dl::JapaneseUi = false;
    EXPECT_STREQ(dl::RecordPortQueryText(9999), "? error ?");
}

TEST(RecordPacing, WaitsMostOfASliceButNeverLong) {
    EXPECT_EQ(dl::RecordPacingWaitMs(2048, 11), 144u);  // 185 ms slices
    EXPECT_EQ(dl::RecordPacingWaitMs(2048, 8), 200u);   // 256 ms
    EXPECT_EQ(dl::RecordPacingWaitMs(32768, 44), 400u);
    EXPECT_EQ(dl::RecordPacingWaitMs(1000, 8), 49u);  // 125 ms: 98, halved below 100
    EXPECT_EQ(dl::RecordPacingWaitMs(256, 11), 0u);   // short slices: no wait
}

// The sound system's own capture device, reading known samples through the disk driver.
class DiskInput : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        setenv("SDL_DISKAUDIOFILEIN", (dir_ + "/input.raw").c_str(), 1);
        dl::AnalysisObserver = [this](double s, const dl::BlockAnalysis& a) {
            starts_.push_back(s);
            if (a.peak_shown) peaks_.push_back(a.peak_frequency);
            if (a.meter_count == 2) meters_.push_back({a.meters[0].level, a.meters[1].level});
            if (a.meter_count >= 1) levels_.push_back(a.meters[0].level);
            labels_.push_back(a.labels);
        };
    }
    void TearDown() override {
        PlaybackFixture::TearDown();
        unsetenv("SDL_DISKAUDIOFILEIN");
    }
    void monitor(const std::string& input, int buffers) {
        dl_test::write_file(dir_ + "/input.raw", input);
        dl::SourceState.mode = dl::SourceMode::RecordPort;
        ASSERT_EQ(dl::OpenRecordPort(), dl::Result::Done);
        dl::StartMonitoring();
        ASSERT_TRUE(dl::SourceState.running);
        (void)QTest::qWaitFor([&] { return int(starts_.size()) >= buffers; }, dl_test::kPatienceMs);
        dl::StopMonitoring();
        pump(50);
    }
    std::vector<double> starts_, peaks_;
    std::vector<std::pair<uint32_t, uint32_t>> meters_;
    std::vector<uint32_t> levels_;
    std::vector<std::vector<dl::PeakLabel>> labels_;
};

TEST_F(DiskInput, AToneAtTheInputReadsAsTheSameToneFromAFile) {
    dl::Settings.freq = 11025;
    dl::Settings.channel = 1;
    dl::Settings.bits = 16;
    const std::string tone = play_test::tones(11025, {440.0}, 3.0);
    monitor(tone, 4);
    ASSERT_GE(peaks_.size(), 4u);
    EXPECT_FALSE(dl::SourceState.running);
    std::vector<double> from_input(peaks_.begin(), peaks_.begin() + 4);
    // Each block starts one time slice after the last.
    for (size_t i = 1; i < 4; ++i) EXPECT_NEAR(starts_[i] - starts_[i - 1], 4096.0 / 22050, 1e-9);

    peaks_.clear();
    start(make_wav("tone.wav", 1, 11025, 16, tone));
    ASSERT_TRUE(play_to_end());
    ASSERT_GE(peaks_.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(from_input[i], peaks_[i]) << i;
}

TEST_F(DiskInput, SlicesShorterThanTheDevicesCallbackLoseNothing) {
    dl::Settings.freq = 11025;
    dl::Settings.channel = 1;
    dl::Settings.bits = 16;
    dl::Settings.deltatime = 32;  // 64-byte buffers; the device delivers 512 bytes at a time
    unsetenv("SDL_DISKAUDIODELAY");  // in real time, as a sound card delivers
    // A ramp: the loudest sample of block b is 32 b + 31, so a block taken from later input shows.
    std::string ramp;
    for (int k = 0; k < 8000; ++k) ramp += char(k & 0xFF), ramp += char(k >> 8);
    monitor(ramp, 120);
    ASSERT_GE(levels_.size(), 120u);
    for (size_t b = 0; b < 120; ++b) ASSERT_EQ(levels_[b], 32 * b + 31) << "block " << b << " follows a gap";
}

TEST_F(DiskInput, StereoInputShowsBothMetersAndTheMixedSpectrum) {
    dl::Settings.freq = 44100;
    dl::Settings.channel = 2;
    dl::Settings.bits = 16;
    dl::Settings.use_onmei = 1;
    // 440 Hz loud on the left, 1000 Hz quieter on the right.
    std::string stereo;
    for (int k = 0; k < 44100 * 2; ++k) {
        const int16_t l = int16_t(16000 * std::sin(2 * M_PI * 440 * k / 44100.0));
        const int16_t r = int16_t(4000 * std::sin(2 * M_PI * 1000 * k / 44100.0));
        for (int16_t v : {l, r}) stereo += char(v & 0xFF), stereo += char((v >> 8) & 0xFF);
    }
    monitor(stereo, 3);
    ASSERT_GE(meters_.size(), 3u);
    EXPECT_NEAR(meters_[1].first, 16000u, 200u);
    EXPECT_NEAR(meters_[1].second, 4000u, 100u);
    ASSERT_GE(labels_.size(), 3u);
    std::vector<std::string> notes;
    for (const dl::PeakLabel& l : labels_[1]) notes.push_back(l.note);
    ASSERT_GE(notes.size(), 2u);
    EXPECT_EQ(notes[0], "A4");
    EXPECT_EQ(notes[1], "B5");  // 1000 Hz is nearest B5 (987.8 Hz)
}

TEST_F(DiskInput, ADeviceThatGoesAwayEndsTheMonitorWithAMessage) {
    dl_test::write_file(dir_ + "/input.raw", play_test::tones(11025, {440.0}, 2.0));
    setenv("SDL_DISKAUDIODELAY", "50", 1);  // real time, so the run is still on when the device goes
    dl::SourceState.mode = dl::SourceMode::RecordPort;
    ASSERT_EQ(dl::OpenRecordPort(), dl::Result::Done);
    dl::StartMonitoring();
    ASSERT_TRUE(dl::SourceState.running);
    dl::simulate_audio_device_loss();
    (void)QTest::qWaitFor([&] { return !dl::SourceState.running; }, dl_test::kPatienceMs);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_EQ(dl::WaveInDevice, nullptr);
    EXPECT_TRUE(dl::DeviceLost);
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"The sound input device went away; monitoring has ended."});
    expect_controls_idle();
    pump(300);  // and nothing more comes of it
    EXPECT_EQ(boxes_.boxes.size(), 1u);
}

TEST_F(DiskInput, APlayWhoseDeviceGoesAwayEndsWithAMessage) {
    setenv("SDL_DISKAUDIODELAY", "50", 1);
    start(make_wav("long.wav", 1, 11025, 16, play_test::tones(11025, {440.0}, 5.0)));
    ASSERT_TRUE(dl::SourceState.running);
    dl::simulate_audio_device_loss();
    (void)QTest::qWaitFor([&] { return !dl::SourceState.running; }, dl_test::kPatienceMs);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_EQ(dl::WaveOutDevice, nullptr);
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"The sound output device went away; playback has ended."});
    expect_controls_idle();
}

TEST_F(DiskInput, AChosenDeviceThatIsGoneFallsBackToTheDefaultWithAMessage) {
    dl_test::write_file(dir_ + "/input.raw", play_test::tones(11025, {440.0}, 1.0));
    dl::Settings.InputDevice = "USB Headset (unplugged)";
    dl::SourceState.mode = dl::SourceMode::RecordPort;
    ASSERT_EQ(dl::OpenRecordPort(), dl::Result::Done);
    dl::StartMonitoring();
    EXPECT_TRUE(dl::SourceState.running);
    ASSERT_EQ(boxes_.texts().size(), 1u) << "said once, not at every open";
    EXPECT_EQ(boxes_.texts()[0],
              "The input device \"USB Headset (unplugged)\" is not there; the system default is used.");
    EXPECT_EQ(dl::Settings.InputDevice, "USB Headset (unplugged)") << "kept for when it is back";
}

}  // namespace
