#pragma once
// What every input device does with what it captures: the device's callback only copies it into a
// ring; a worker moves it from there into the buffers the user-interface thread added, in the order
// they were added, and reports each full one. The ring holds many seconds, so a program that falls
// behind for a while loses nothing and catches up. Sound the ring cannot hold, and time the device
// delivered no sound for (checked on a clock, CaptureLedger), are gaps, each told with its place in
// the recorded sound.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

#include "platform/capture_ledger.h"
#include "platform/sdl_device.h"
#include "platform/spsc_ring.h"
#include "platform/wave_in.h"

namespace dl {

class CaptureQueue {
public:
    using Data = std::function<void(int index)>;
    // Seconds on a steady clock.
    using Clock = std::function<double()>;
    static double steady_seconds();

    // The ring holds at least this much sound.
    static constexpr double kRingSeconds = 16;

    // `block_align` bytes a frame, `bytes_per_second` of them. With a clock the sound delivered is
    // checked against the time that passed; without one (an input read from a file, which has no
    // time of its own) only what the ring cannot hold is a gap.
    CaptureQueue(Data data, size_t block_align, size_t bytes_per_second, Clock clock = steady_seconds);
    ~CaptureQueue() { worker_.stop(); }

    // The device's thread: no lock, no allocation, no waiting.
    void take(const uint8_t* stream, size_t len);
    // The same for a stretch the device could not capture (a hole the sound server reports): a gap.
    void take_lost(size_t len);

    // Another clock (none: no ledger), before recording starts.
    void set_clock(Clock clock) { clock_ = std::move(clock); }
    bool recording() const { return recording_.load(std::memory_order_acquire); }
    void set_recording(bool on) { recording_.store(on, std::memory_order_release); }

    int add_buffer(WaveHeader& h, int index);
    // With the device's callback stopped: every buffer back, what it got so far in it; the time the
    // device had delivered nothing for until now is a gap at the end.
    void reset();
    // What the buffers have been given since start().
    uint64_t captured() const { return recorded_.load(std::memory_order_relaxed); }
    // What waits in the ring for a buffer.
    uint64_t held() const { return ring_.size(); }
    void take_gaps(std::vector<CaptureGap>& out);
    // False (kWaveStillPlaying for the caller) while buffers are queued; otherwise nothing more is taken.
    bool close();
    void stop_worker() { worker_.stop(); }

private:
    struct Entry {
        WaveHeader* header;
        int index;
    };
    static constexpr uint64_t kNoHold = std::numeric_limits<uint64_t>::max();

    // Producer side (the device's thread, or reset() while it stands still).
    void deliver(const uint8_t* stream, size_t len, bool lost);
    void apply(const CaptureLedger::Step& step);
    void push_gap(const CaptureGap& gap);
    void end_overflow();
    // Fills the queued buffers in order from the ring, up to where sound waits for the ledger.
    // Called with m_ held.
    void store();

    Data data_;
    const size_t align_;
    const double bps_;
    Clock clock_;
    SpscRing<uint8_t> ring_;       // callback to worker
    SpscRing<CaptureGap> gaps_;    // callback to the user-interface thread
    std::atomic<bool> producing_{false};  // the producer's side is in use
    // The producer's own.
    CaptureLedger ledger_;
    uint64_t pushed_ = 0;       // ring bytes so far: the place of the next byte in the recorded sound
    uint64_t held_from_ = 0;    // where the sound waiting for the ledger begins
    bool overflowing_ = false;  // dropping until the ring has room again
    CaptureGap overflow_;
    CaptureGap unsent_;  // a gap that found the gap ring full, sent with the next
    // Where the worker stops: the first byte waiting for the ledger (kNoHold: none).
    std::atomic<uint64_t> hold_at_{kNoHold};
    std::mutex m_;  // the worker against the user-interface thread
    std::deque<Entry> queue_;
    uint64_t popped_ = 0;  // under m_
    std::atomic<uint64_t> recorded_{0};
    std::atomic<bool> recording_{false};
    bool closing_ = false;
    sdl::CallbackWorker worker_;  // last: it starts running at once
};

}  // namespace dl
