#pragma once
// What every input device does with what it captures: the device's callback only copies it into a
// ring; a worker moves it from there into the buffers the user-interface thread added, in the order
// they were added, and reports each full one.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/sdl_device.h"
#include "platform/spsc_ring.h"
#include "platform/wave_device.h"

namespace dl {

class CaptureQueue {
public:
    using Data = std::function<void(int index)>;
    // `block_align` bytes a frame, `bytes_per_second` of them; the ring holds two seconds.
    CaptureQueue(Data data, size_t block_align, size_t bytes_per_second)
        : data_(std::move(data)), align_(std::max<size_t>(block_align, 1)),
          held_limit_(std::max<size_t>(bytes_per_second, align_)), captured_bytes_(2 * held_limit_),
          worker_(true, [this] {
              std::lock_guard lock(m_);
              store();
          }) {}
    ~CaptureQueue() { worker_.stop(); }

    // The device's thread: no lock, no allocation, no waiting. What finds no room is lost; the ring
    // holds two seconds, so only a worker stalled that long loses any.
    void take(const uint8_t* stream, size_t len) {
        if (!recording_.load(std::memory_order_acquire)) return;
        captured_.fetch_add(uint64_t(len), std::memory_order_relaxed);
        const size_t room = captured_bytes_.capacity() - captured_bytes_.size();
        captured_bytes_.push(stream, std::min(len, room / align_ * align_));
        worker_.wake();
    }
    // The same for a stretch the server could not capture: heard as silence.
    void take_silence(size_t len, uint8_t silence) {
        uint8_t quiet[256];
        std::fill_n(quiet, sizeof quiet, silence);
        for (size_t n; len > 0; len -= n) {
            n = std::min(len, sizeof quiet / align_ * align_);
            if (n == 0) return;
            take(quiet, n);
        }
    }
    bool recording() const { return recording_.load(std::memory_order_acquire); }
    void set_recording(bool on) { recording_.store(on, std::memory_order_release); }

    int add_buffer(WaveHeader& h, int index) {
        if (!h.prepared) return kWaveUnprepared;
        std::lock_guard lock(m_);
        if (closing_) return kWaveError;
        h.recorded = 0;
        queue_.push_back({&h, index});
        store();  // what came in while no buffer was waiting goes first
        return kWaveOk;
    }
    // With the device's callback stopped: every buffer back, what it got so far in it.
    void reset() {
        set_recording(false);
        std::lock_guard lock(m_);
        store();
        for (const Entry& e : queue_) data_(e.index);
        queue_.clear();
        captured_.store(0);
        captured_bytes_.discard(captured_bytes_.size());
    }
    uint64_t captured() const { return captured_.load(std::memory_order_relaxed); }
    // False (kWaveStillPlaying for the caller) while buffers are queued; otherwise nothing more is taken.
    bool close() {
        std::lock_guard lock(m_);
        if (!queue_.empty()) return false;
        closing_ = true;
        return true;
    }
    void stop_worker() { worker_.stop(); }

private:
    struct Entry {
        WaveHeader* header;
        int index;
    };

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
    const size_t align_;
    const size_t held_limit_;  // a second of whole frames
    SpscRing<uint8_t> captured_bytes_;  // callback to worker
    std::mutex m_;                      // the worker against the user-interface thread
    std::deque<Entry> queue_;
    std::atomic<uint64_t> captured_{0};
    std::atomic<bool> recording_{false};
    bool closing_ = false;
    sdl::CallbackWorker worker_;  // last: it starts running at once
};

}  // namespace dl
