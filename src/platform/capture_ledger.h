#pragma once
// What an input device delivered against the time that passed on a clock. A device that stalls and
// then sends what it kept (a sound server catching up) has lost nothing; one that goes on from where
// it stands has left a gap as long as the time it lost. Which of the two happened shows only after
// the stall, so the sound after it waits (`hold`) until the ledger knows: the time lost has stayed
// lost for a while (a gap), or the device has caught up (no gap).
// Plain arithmetic on the device's thread: no lock, no allocation, no waiting.
#include <cstddef>
#include <cstdint>

namespace dl {

class CaptureLedger {
public:
    // What one delivery means for the sound delivered so far.
    struct Step {
        uint64_t gap_bytes = 0;  // a gap of this many bytes (whole frames) lies where the sound began to wait
        bool release = false;    // what waited goes on, after the gap when there is one
        bool hold = false;       // a gap may lie before this delivery: its sound waits from here on
    };

    // Deliveries late by less than kTolerance (or two of the device's pieces), or late for less than
    // kSettle before they catch up, are no gap.
    static constexpr double kTolerance = 0.05;
    static constexpr double kSettle = 1.0;
    // How far the device's clock may run slower than the machine's (a cheap sound card's crystal)
    // without that slow drift ever adding up to a gap.
    static constexpr double kDrift = 0.002;

    CaptureLedger(double bytes_per_second, size_t block_align);

    // `bytes` delivered at `now` (seconds on the clock).
    Step deliver(uint64_t bytes, double now);
    // Recording ends at `now`: a suspected gap is decided (`gap_bytes` of the Step, where the sound
    // began to wait), and `trailing` is the time the device has delivered nothing for since, beyond
    // what it is normally behind (bytes, 0 when that is within the tolerance).
    Step finish(double now, uint64_t& trailing);

    bool holding() const { return suspect_; }

private:
    uint64_t whole_frames(double seconds) const;
    double tolerance() const;

    double bps_;
    uint64_t align_;
    bool started_ = false;
    double start_ = 0;      // the clock at the first delivery
    uint64_t delivered_ = 0;
    double base_ = 0;       // how far behind the clock the device normally is (s)
    double quantum_ = 0;    // the largest delivery seen while the device kept time (s)
    bool suspect_ = false;  // late beyond the tolerance; not yet known whether it catches up
    double suspect_since_ = 0;
    double least_late_ = 0;  // the least the device was late since then (s)
};

}  // namespace dl
