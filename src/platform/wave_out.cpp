#include "platform/wave_out.h"

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>

#include "platform/audio_system.h"
#include "platform/wave_format.h"

namespace dl {

namespace {

struct PcmFormat {
    int channels = 0;
    int bits = 0;
    uint32_t rate = 0;
    uint32_t block_align = 0;
};

bool parse_format(const std::vector<uint8_t>& record, PcmFormat& out) {
    WaveFormat f;
    if (!parse_wave_format(record, f) || !is_device_pcm(f)) return false;
    out = {f.channels, f.bits, f.rate, f.block_align};
    return true;
}

// Waiting this long for the next buffer keeps a faster-than-real-time device (a file) gap-free
// while the program paces itself; a real device would be starving anyway.
constexpr auto kStallLimit = std::chrono::milliseconds(600);

class SdlWaveOut final : public WaveOut {
public:
    SdlWaveOut(Done done, const PcmFormat& f) : done_(std::move(done)), format_(f) {}
    ~SdlWaveOut() override {
        if (device_) {
            reset();
            close();
        }
    }

    int open() {
        SDL_AudioSpec want{};
        want.freq = int(format_.rate);
        want.format = format_.bits == 16 ? AUDIO_S16LSB : AUDIO_U8;
        want.channels = Uint8(format_.channels);
        want.samples = format_.rate >= 32000 ? 1024 : format_.rate >= 16000 ? 512 : 256;
        want.callback = &SdlWaveOut::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) return wave_out_device_count() == 0 ? kWaveBadDeviceId : kWaveError;
        silence_ = have.silence;
        latency_bytes_ = uint32_t(have.samples) * format_.block_align;
        SDL_PauseAudioDevice(device_, 0);
        return kWaveOk;
    }

    int write(WaveHeader& h, int index) override {
        if (!h.prepared) return kWaveUnprepared;
        std::lock_guard lock(m_);
        if (closing_) return kWaveError;
        queue_.push_back({h.data, h.length, 0, index});
        started_ = true;
        cv_.notify_all();
        return kWaveOk;
    }

    int reset() override {
        std::lock_guard lock(m_);
        report_finished();
        for (const Entry& e : queue_) done_(e.index);
        queue_.clear();
        consumed_ = 0;
        started_ = false;
        cv_.notify_all();
        return kWaveOk;
    }

    int get_position(DevicePosition& p) override {
        std::lock_guard lock(m_);
        p.type = PositionType::Bytes;
        p.value = uint32_t(consumed_ > latency_bytes_ ? consumed_ - latency_bytes_ : 0);
        return kWaveOk;
    }

    int close() override {
        if (!device_) return kWaveError;
        {
            std::lock_guard lock(m_);
            if (!queue_.empty()) return kWaveStillPlaying;
            closing_ = true;
            report_finished();
            cv_.notify_all();
        }
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        return kWaveOk;
    }

    uint32_t bytes_per_second() const override { return format_.rate * format_.block_align; }

private:
    struct Entry {
        const uint8_t* data;
        uint32_t length;
        uint32_t taken;
        int index;
    };

    void report_finished() {
        for (int i : finished_) done_(i);
        finished_.clear();
    }

    static void callback(void* self, Uint8* stream, int len) { static_cast<SdlWaveOut*>(self)->fill(stream, len); }

    void fill(Uint8* stream, int len) {
        std::unique_lock lock(m_);
        // What was wholly taken one device period ago has now been heard.
        report_finished();
        int pos = 0;
        while (pos < len) {
            if (queue_.empty()) {
                report_finished();
                if (closing_ || !started_) break;
                if (!cv_.wait_for(lock, kStallLimit, [this] { return !queue_.empty() || closing_ || !started_; }))
                    break;
                continue;
            }
            Entry& e = queue_.front();
            const uint32_t n = std::min<uint32_t>(uint32_t(len - pos), e.length - e.taken);
            if (n) std::memcpy(stream + pos, e.data + e.taken, n);
            e.taken += n;
            pos += int(n);
            consumed_ += n;
            if (e.taken >= e.length) {
                finished_.push_back(e.index);
                queue_.pop_front();
            }
        }
        if (pos < len) std::memset(stream + pos, silence_, size_t(len - pos));
    }

    Done done_;
    PcmFormat format_;
    SDL_AudioDeviceID device_ = 0;
    uint8_t silence_ = 0;
    uint32_t latency_bytes_ = 0;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Entry> queue_;
    std::vector<int> finished_;
    uint64_t consumed_ = 0;
    bool started_ = false;
    bool closing_ = false;
};

class InstantWaveOut final : public WaveOut {
public:
    InstantWaveOut(Done done, const PcmFormat& f) : done_(std::move(done)), format_(f) {}
    int write(WaveHeader& h, int index) override {
        if (!h.prepared) return kWaveUnprepared;
        if (closed_) return kWaveError;
        done_(index);
        return kWaveOk;
    }
    int reset() override { return kWaveOk; }
    int get_position(DevicePosition& p) override {
        p = {};
        return kWaveError;
    }
    int close() override {
        if (closed_) return kWaveError;
        closed_ = true;
        return kWaveOk;
    }
    uint32_t bytes_per_second() const override { return format_.rate * format_.block_align; }

private:
    Done done_;
    PcmFormat format_;
    bool closed_ = false;
};

}  // namespace

int WaveOut::prepare(WaveHeader& h) {
    if (!h.data && h.length) return kWaveError;
    h.prepared = true;
    return kWaveOk;
}

int WaveOut::unprepare(WaveHeader& h) {
    h.prepared = false;
    return kWaveOk;
}

int wave_out_check_format(const std::vector<uint8_t>& format) {
    PcmFormat f;
    return parse_format(format, f) ? kWaveOk : kWaveBadFormat;
}

int wave_out_open(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out) {
    out.reset();
    PcmFormat f;
    if (!parse_format(format, f)) return kWaveBadFormat;
    if (!audio_init()) return kWaveBadDeviceId;
    try {
        auto dev = std::make_unique<SdlWaveOut>(std::move(done), f);
        if (int rc = dev->open(); rc != kWaveOk) return rc;
        out = std::move(dev);
        return kWaveOk;
    } catch (const std::bad_alloc&) {
        return kWaveNoMemory;
    }
}

int wave_out_open_instant(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out) {
    out.reset();
    PcmFormat f;
    if (!parse_format(format, f)) return kWaveBadFormat;
    out = std::make_unique<InstantWaveOut>(std::move(done), f);
    return kWaveOk;
}

}  // namespace dl
