#include "platform/wave_out.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/jack_devices.h"
#include "platform/pulse_devices.h"
#include "platform/sdl_device.h"
#include "platform/spsc_ring.h"

namespace dl {

namespace {

using sdl::PcmFormat;
using sdl::parse_format;

// Waiting this long for the next buffer keeps a faster-than-real-time device (a file) gap-free
// while the program paces itself. A sound card's callback never waits: it plays silence and the
// gap is counted when the program's next buffer comes.
constexpr auto kStallLimit = std::chrono::milliseconds(600);
constexpr auto kStallPoll = std::chrono::microseconds(100);
// Buffers queued and not yet reported, at most.
constexpr size_t kMaxQueued = 64;

std::atomic<uint64_t> g_waits{0};
std::atomic<int> g_period_frames{0};

// The user-interface thread queues buffers into one ring; the callback takes them in order and
// hands each back through another ring once it has been heard, to a worker that reports it. Only
// reset() and close() stop the callback (through the device's own lock), and only briefly.
class SdlWaveOut final : public WaveOut {
public:
    SdlWaveOut(Done done, const PcmFormat& f)
        : done_(std::move(done)), format_(f), queued_(kMaxQueued), heard_(kMaxQueued),
          worker_(false, [this] { report_heard(); }) {}
    // The callback stops before the members it uses go.
    ~SdlWaveOut() override {
        closing_.store(true);  // a fill waiting for buffers gives up
        device_.close();
        worker_.stop();
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
        const char* driver = SDL_GetCurrentAudioDriver();
        waits_for_program_ = driver && std::strcmp(driver, "disk") == 0;
        g_period_frames.store(device_.samples(), std::memory_order_relaxed);
        device_.watch(choice.lost);
        device_.resume();
        return kWaveOk;
    }

    int write(WaveHeader& h, int index) override {
        if (!h.prepared) return kWaveUnprepared;
        if (closing_.load() || written_ - reported_.load(std::memory_order_acquire) >= kMaxQueued) return kWaveError;
        queued_.push({h.data, h.length, index});
        ++written_;
        started_.store(true, std::memory_order_release);
        return kWaveOk;
    }

    int reset() override {
        started_.store(false);  // a fill waiting for buffers gives up
        device_.lock();
        {
            std::lock_guard lock(report_m_);
            report_heard_locked();
            report_finished();
            queued_.drain([this](const Entry& e) { report(e.index); });
            taken_ = 0;
            starved_ = false;
            consumed_.store(0);
        }
        device_.unlock();
        return kWaveOk;
    }

    int get_position(DevicePosition& p) override {
        const uint64_t consumed = consumed_.load(std::memory_order_relaxed);
        p.type = PositionType::Bytes;
        p.value = uint32_t(consumed > latency_bytes_ ? consumed - latency_bytes_ : 0);
        return kWaveOk;
    }

    int close() override {
        if (!device_.is_open()) return kWaveError;
        if (!queued_.empty()) return kWaveStillPlaying;
        closing_.store(true);
        device_.close();
        worker_.stop();
        std::lock_guard lock(report_m_);
        report_finished();
        return kWaveOk;
    }

    uint32_t bytes_per_second() const override { return format_.rate * format_.block_align; }

private:
    struct Entry {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        int index = 0;
    };

    void report(int index) {
        done_(index);
        reported_.fetch_add(1, std::memory_order_release);
    }
    // On the worker, or on the caller's thread with the callback stopped.
    void report_heard() {
        std::lock_guard lock(report_m_);
        report_heard_locked();
    }
    void report_heard_locked() {
        heard_.drain([this](int index) { report(index); });
    }
    // What the callback took and the listener has not heard yet; the callback is stopped.
    void report_finished() {
        for (size_t k = 0; k < finished_count_; ++k) report(finished_[k]);
        finished_count_ = 0;
    }

    static void callback(void* self, Uint8* stream, int len) { static_cast<SdlWaveOut*>(self)->fill(stream, len); }

    // Runs on the device's thread: no lock, no allocation, and no waiting but a file device's.
    void fill(Uint8* stream, int len) {
        // What was wholly taken one device period ago has now been heard.
        hand_back_finished();
        int pos = 0;
        while (pos < len && !closing_.load(std::memory_order_relaxed)) {
            const Entry* e = queued_.front();
            if (!e) {
                hand_back_finished();
                if (!started_.load(std::memory_order_acquire)) break;
                if (!waits_for_program_) {
                    starved_ = true;  // heard as a gap
                    break;
                }
                if (!wait_for_program()) break;
                // The device waited for the program in the middle of a period: heard as a gap on a
                // real sound card.
                g_waits.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            if (starved_) {
                g_waits.fetch_add(1, std::memory_order_relaxed);
                starved_ = false;
            }
            const uint32_t n = std::min<uint32_t>(uint32_t(len - pos), e->length - taken_);
            if (n) std::memcpy(stream + pos, e->data + taken_, n);
            taken_ += n;
            pos += int(n);
            consumed_.fetch_add(n, std::memory_order_relaxed);
            if (taken_ >= e->length) {
                finished_[finished_count_++] = e->index;
                queued_.pop();
                taken_ = 0;
            }
        }
        if (pos < len) std::memset(stream + pos, silence_, size_t(len - pos));
    }

    void hand_back_finished() {
        if (finished_count_ == 0) return;
        heard_.push(finished_.data(), finished_count_);  // room for all: write() keeps kMaxQueued
        finished_count_ = 0;
        worker_.wake();
    }

    // A file device only: true when the program queued its next buffer in time.
    bool wait_for_program() {
        const auto until = std::chrono::steady_clock::now() + kStallLimit;
        while (queued_.empty()) {
            if (closing_.load() || !started_.load() || std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(kStallPoll);
        }
        return true;
    }

    Done done_;
    PcmFormat format_;
    sdl::Device device_;
    uint8_t silence_ = 0;
    uint32_t latency_bytes_ = 0;
    bool waits_for_program_ = false;
    SpscRing<Entry> queued_;  // user-interface thread to callback
    SpscRing<int> heard_;     // callback to worker
    std::mutex report_m_;     // one reporter at a time: the worker, reset() or close()
    uint64_t written_ = 0;    // user-interface thread
    std::atomic<uint64_t> reported_{0};
    std::atomic<uint64_t> consumed_{0};
    std::atomic<bool> started_{false};
    std::atomic<bool> closing_{false};
    // The callback's own, and reset()'s while the callback is stopped.
    uint32_t taken_ = 0;  // bytes of the oldest queued buffer already played
    std::array<int, kMaxQueued> finished_{};
    size_t finished_count_ = 0;
    bool starved_ = false;
    sdl::CallbackWorker worker_;  // last: it starts running at once
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

void count_output_wait() { g_waits.fetch_add(1, std::memory_order_relaxed); }
void note_output_period(int frames) { g_period_frames.store(frames, std::memory_order_relaxed); }

uint64_t wave_out_waits() { return g_waits.load(std::memory_order_relaxed); }

int wave_out_period_frames() { return g_period_frames.load(std::memory_order_relaxed); }

const char* wave_out_driver() {
    if (pulse::in_use()) return "pulse";
    if (jack::in_use()) return "jack";
    const char* name = SDL_GetCurrentAudioDriver();
    return name ? name : "none";
}

int wave_out_check_format(const std::vector<uint8_t>& format) {
    PcmFormat f;
    return parse_format(format, f) ? kWaveOk : kWaveBadFormat;
}

int wave_out_open(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out,
                  const DeviceChoice& choice) {
    if (pulse::in_use()) return pulse::open_output(format, std::move(done), out, choice);
    if (jack::in_use()) return jack::open_output(format, std::move(done), out, choice);
    return sdl::open_wave_device<SdlWaveOut>(format, std::move(done), out, choice);
}

int wave_out_open_instant(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out) {
    out.reset();
    PcmFormat f;
    if (!parse_format(format, f)) return kWaveBadFormat;
    out = std::make_unique<InstantWaveOut>(std::move(done), f);
    return kWaveOk;
}

}  // namespace dl
