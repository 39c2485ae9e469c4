#include "platform/capture_ledger.h"

#include <algorithm>
#include <cmath>

namespace dl {

namespace {
// Devices that deliver in large pieces (a long period) are late by up to a piece between deliveries;
// beyond half a second of that, lateness is a stall whatever the device.
constexpr double kToleranceCeiling = 0.5;
}  // namespace

CaptureLedger::CaptureLedger(double bytes_per_second, size_t block_align)
    : bps_(bytes_per_second), align_(std::max<uint64_t>(block_align, 1)) {}

uint64_t CaptureLedger::whole_frames(double seconds) const {
    if (!(seconds > 0)) return 0;
    return uint64_t(std::llround(seconds * bps_ / double(align_))) * align_;
}

double CaptureLedger::tolerance() const { return std::min(std::max(kTolerance, 2 * quantum_), kToleranceCeiling); }

CaptureLedger::Step CaptureLedger::deliver(uint64_t bytes, double now) {
    Step step;
    if (bytes == 0 || !(bps_ > 0)) return step;
    const double length = double(bytes) / bps_;
    if (!started_) {
        // The clock starts with the first sound: a device that takes its time to begin has lost
        // nothing. That first piece may be all a server kept before it learned how little the program
        // wants at a time, so it says nothing of the pieces to come.
        started_ = true;
        start_ = now;
        delivered_ = bytes;
        base_ = -length;
        return step;
    }
    delivered_ += bytes;
    const double late = (now - start_) - double(delivered_) / bps_;
    if (!suspect_) {
        if (late - base_ <= tolerance()) {
            // A clock slower than the machine's lets the device fall behind a little at every piece.
            base_ = std::min(base_ + kDrift * length, late);
            quantum_ = std::max(quantum_, length);
            return step;
        }
        suspect_ = true;
        suspect_since_ = now;
        least_late_ = late - base_;
        step.hold = true;
        return step;
    }
    least_late_ = std::min(least_late_, late - base_);
    if (late - base_ <= tolerance()) {
        // It caught up: it had kept what it could not send.
        suspect_ = false;
        base_ = std::min(base_, late);
        step.release = true;
        return step;
    }
    if (now - suspect_since_ < kSettle) return step;
    // Still behind by at least this much all along: that time is lost.
    step.gap_bytes = whole_frames(least_late_);
    base_ += double(step.gap_bytes) / bps_;
    suspect_ = false;
    step.release = true;
    if (late - base_ > tolerance()) {
        suspect_ = true;
        suspect_since_ = now;
        least_late_ = late - base_;
        step.hold = true;
    }
    return step;
}

CaptureLedger::Step CaptureLedger::finish(double now, uint64_t& trailing) {
    Step step;
    trailing = 0;
    if (!started_) return step;
    if (suspect_) {
        step.gap_bytes = whole_frames(least_late_);
        base_ += double(step.gap_bytes) / bps_;
        suspect_ = false;
        step.release = true;
    }
    const double late = (now - start_) - double(delivered_) / bps_;
    if (late - base_ > tolerance()) trailing = whole_frames(late - base_);
    return step;
}

}  // namespace dl
