#include "platform/wave_out.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>

#include "platform/sdl_device.h"

namespace dl {

namespace {

using sdl::PcmFormat;
using sdl::parse_format;

// Waiting this long for the next buffer keeps a faster-than-real-time device (a file) gap-free
// while the program paces itself; a real device would be starving anyway.
constexpr auto kStallLimit = std::chrono::milliseconds(600);

std::atomic<uint64_t> g_waits{0};
std::atomic<int> g_period_frames{0};

class SdlWaveOut final : public WaveOut {
public:
    SdlWaveOut(Done done, const PcmFormat& f) : done_(std::move(done)), format_(f) {}
    // The callback stops before the members it uses go.
    ~SdlWaveOut() override {
        {
            std::lock_guard lock(m_);
            closing_ = true;  // a fill waiting for buffers gives up
            cv_.notify_all();
        }
        device_.close();
    }

    int open(const DeviceChoice& choice) {
        const uint32_t queued_frames = format_.block_align ? choice.queued_bytes / format_.block_align : 0;
        const int rc = device_.open(choice.name, false, format_, sdl::callback_frames(format_.rate, queued_frames),
                                    &SdlWaveOut::callback, this);
        // Playback has no "in use" answer; without a sound system there is no device at all.
        if (rc == kWaveAllocated) return kWaveError;
        if (rc == kWaveNoDriver) return kWaveBadDeviceId;
        if (rc != kWaveOk) return rc;
        silence_ = device_.silence();
        latency_bytes_ = uint32_t(device_.samples()) * format_.block_align;
        g_period_frames.store(device_.samples(), std::memory_order_relaxed);
        device_.watch(choice.lost);
        device_.resume();
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
        if (!device_.is_open()) return kWaveError;
        {
            std::lock_guard lock(m_);
            if (!queue_.empty()) return kWaveStillPlaying;
            closing_ = true;
            report_finished();
            cv_.notify_all();
        }
        device_.close();
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
                // The device waited for the program in the middle of a period: heard as a gap on a
                // real sound card.
                if (!queue_.empty()) g_waits.fetch_add(1, std::memory_order_relaxed);
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
    sdl::Device device_;
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

uint64_t wave_out_waits() { return g_waits.load(std::memory_order_relaxed); }

int wave_out_period_frames() { return g_period_frames.load(std::memory_order_relaxed); }

const char* wave_out_driver() {
    const char* name = SDL_GetCurrentAudioDriver();
    return name ? name : "none";
}

int wave_out_check_format(const std::vector<uint8_t>& format) {
    PcmFormat f;
    return parse_format(format, f) ? kWaveOk : kWaveBadFormat;
}

int wave_out_open(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out,
                  const DeviceChoice& choice) {
    out.reset();
    PcmFormat f;
    if (!parse_format(format, f)) return kWaveBadFormat;
    try {
        auto dev = std::make_unique<SdlWaveOut>(std::move(done), f);
        if (int rc = dev->open(choice); rc != kWaveOk) return rc;
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
