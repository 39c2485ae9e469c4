#include "platform/wave_in.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

#include "platform/sdl_device.h"
#include "platform/spsc_ring.h"

namespace dl {

namespace {

// The callback only copies what it captured into a ring; a worker moves it from there into the
// buffers the user-interface thread added, in the order they were added, and reports each full one.
class SdlWaveIn final : public WaveIn {
public:
    SdlWaveIn(Data data, const sdl::PcmFormat& f)
        : data_(std::move(data)), format_(f), align_(std::max<size_t>(f.block_align, 1)),
          held_limit_(std::max<size_t>(f.rate, 1) * align_), captured_bytes_(2 * held_limit_),
          worker_(true, [this] {
              std::lock_guard lock(m_);
              store();
          }) {}
    // The callback stops before the members it uses go.
    ~SdlWaveIn() override {
        device_.close();
        worker_.stop();
    }

    int open(const DeviceChoice& choice) {
        const int rc = device_.open(choice.name, true, format_, sdl::callback_frames(format_.rate),
                                    &SdlWaveIn::callback, this);
        if (rc != kWaveOk) return rc;
        device_.watch(choice.lost);
        return kWaveOk;
    }

    int add_buffer(WaveHeader& h, int index) override {
        if (!h.prepared) return kWaveUnprepared;
        std::lock_guard lock(m_);
        if (closing_) return kWaveError;
        h.recorded = 0;
        queue_.push_back({&h, index});
        store();  // what came in while no buffer was waiting goes first
        return kWaveOk;
    }

    int start() override {
        if (!device_.is_open()) return kWaveError;
        recording_.store(true);
        device_.resume();
        return kWaveOk;
    }

    int reset() override {
        device_.pause();  // waits for a callback in progress
        recording_.store(false);
        std::lock_guard lock(m_);
        store();
        for (const Entry& e : queue_) data_(e.index);
        queue_.clear();
        captured_.store(0);
        captured_bytes_.discard(captured_bytes_.size());
        return kWaveOk;
    }

    int get_position(DevicePosition& p) override {
        p.type = PositionType::Bytes;
        p.value = uint32_t(captured_.load(std::memory_order_relaxed));
        return kWaveOk;
    }

    int close() override {
        if (!device_.is_open()) return kWaveError;
        {
            std::lock_guard lock(m_);
            if (!queue_.empty()) return kWaveStillPlaying;
            closing_ = true;
        }
        device_.close();
        worker_.stop();
        return kWaveOk;
    }

    uint32_t bytes_per_second() const override { return format_.rate * format_.block_align; }

private:
    struct Entry {
        WaveHeader* header;
        int index;
    };

    static void callback(void* self, Uint8* stream, int len) { static_cast<SdlWaveIn*>(self)->take(stream, len); }

    // Runs on the device's thread: no lock, no allocation, no waiting. What finds no room is lost;
    // the ring holds two seconds, so only a worker stalled that long loses any.
    void take(const Uint8* stream, int len) {
        if (!recording_.load(std::memory_order_acquire)) return;
        captured_.fetch_add(uint64_t(len), std::memory_order_relaxed);
        const size_t room = captured_bytes_.capacity() - captured_bytes_.size();
        captured_bytes_.push(stream, std::min(size_t(len), room / align_ * align_));
        worker_.wake();
    }

    // Fills the queued buffers in order from what was captured. A callback brings more than small
    // buffers hold, so what finds no buffer waits for the next one added; beyond a second of it the
    // oldest is lost, as on any device whose owner falls behind. Called with m_ held.
    void store() {
        while (!queue_.empty() && !captured_bytes_.empty()) {
            WaveHeader& h = *queue_.front().header;
            h.recorded += uint32_t(captured_bytes_.pop(h.data + h.recorded, h.length - h.recorded));
            if (h.recorded >= h.length) {
                data_(queue_.front().index);
                queue_.pop_front();
            }
        }
        const size_t held = captured_bytes_.size();
        if (held > held_limit_) captured_bytes_.discard((held - held_limit_ + align_ - 1) / align_ * align_);
    }

    Data data_;
    sdl::PcmFormat format_;
    const size_t align_;
    const size_t held_limit_;  // a second of whole frames
    sdl::Device device_;
    SpscRing<uint8_t> captured_bytes_;  // callback to worker
    std::mutex m_;                      // the worker against the user-interface thread
    std::deque<Entry> queue_;
    std::atomic<uint64_t> captured_{0};
    std::atomic<bool> recording_{false};
    bool closing_ = false;
    sdl::CallbackWorker worker_;  // last: it starts running at once
};

}  // namespace

int wave_in_query(const std::vector<uint8_t>& format, const DeviceChoice& choice) {
    sdl::PcmFormat f;
    if (!sdl::parse_format(format, f)) return kWaveBadFormat;
    sdl::Device probe;
    return probe.open(choice.name, true, f, sdl::callback_frames(f.rate), nullptr, nullptr);
}

int wave_in_open(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
                 const DeviceChoice& choice) {
    return sdl::open_wave_device<SdlWaveIn>(format, std::move(data), out, choice);
}

}  // namespace dl
