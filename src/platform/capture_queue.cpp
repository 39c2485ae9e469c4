#include "platform/capture_queue.h"

#include <chrono>
#include <thread>

namespace dl {

namespace {
// Gaps on their way to the user-interface thread; a flood of them merges rather than waits.
constexpr size_t kGapRecords = 256;
// Once full, the ring drops what comes until a quarter of it is free again: one gap said for the
// stretch the program could not keep up with, not one for each delivery.
constexpr size_t kRoomAfterOverflow = 4;
}  // namespace

double CaptureQueue::steady_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

CaptureQueue::CaptureQueue(Data data, size_t block_align, size_t bytes_per_second, Clock clock)
    : data_(std::move(data)), align_(std::max<size_t>(block_align, 1)),
      bps_(double(std::max<size_t>(bytes_per_second, align_))), clock_(std::move(clock)),
      ring_(size_t(kRingSeconds * bps_)), gaps_(kGapRecords), ledger_(bps_, align_),
      worker_(true, [this] {
          std::lock_guard lock(m_);
          store();
      }) {}

void CaptureQueue::take(const uint8_t* stream, size_t len) { deliver(stream, len, false); }

void CaptureQueue::take_lost(size_t len) { deliver(nullptr, len, true); }

void CaptureQueue::deliver(const uint8_t* stream, size_t len, bool lost) {
    if (!recording_.load(std::memory_order_acquire) || len == 0) return;
    // Only reset() contends for this, and then the delivery is of no use.
    if (producing_.exchange(true, std::memory_order_acquire)) return;
    if (clock_) apply(ledger_.deliver(len, clock_()));
    if (lost) {
        push_gap({pushed_, len - len % align_, GapCause::NotDelivered});
    } else {
        if (overflowing_ && ring_.capacity() - ring_.size() >= ring_.capacity() / kRoomAfterOverflow) end_overflow();
        size_t n = 0;
        if (!overflowing_) {
            const size_t room = ring_.capacity() - ring_.size();
            n = ring_.push(stream, std::min(len, room / align_ * align_));
            pushed_ += n;
        }
        if (n < len) {
            if (!overflowing_) overflow_ = {pushed_, 0, GapCause::Overflow};
            overflowing_ = true;
            overflow_.bytes += len - n;
        }
    }
    producing_.store(false, std::memory_order_release);
    worker_.wake();
}

void CaptureQueue::apply(const CaptureLedger::Step& step) {
    if (step.gap_bytes) push_gap({held_from_, step.gap_bytes, GapCause::NotDelivered});
    if (step.hold) {
        held_from_ = pushed_;
        hold_at_.store(pushed_, std::memory_order_release);
    } else if (step.release) {
        hold_at_.store(kNoHold, std::memory_order_release);
    }
}

void CaptureQueue::end_overflow() {
    overflowing_ = false;
    overflow_.bytes -= overflow_.bytes % align_;
    push_gap(overflow_);
}

void CaptureQueue::push_gap(const CaptureGap& gap) {
    if (gap.bytes == 0) return;
    if (unsent_.bytes != 0) {
        if (!gaps_.push(unsent_)) {
            unsent_.bytes += gap.bytes;  // told at the first one's place
            return;
        }
        unsent_ = {};
    }
    if (!gaps_.push(gap)) unsent_ = gap;
}

int CaptureQueue::add_buffer(WaveHeader& h, int index) {
    if (!h.prepared) return kWaveUnprepared;
    std::lock_guard lock(m_);
    if (closing_) return kWaveError;
    h.recorded = 0;
    queue_.push_back({&h, index});
    store();  // what came in while no buffer was waiting goes first
    return kWaveOk;
}

void CaptureQueue::reset() {
    set_recording(false);
    while (producing_.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
    if (clock_) {
        uint64_t trailing = 0;
        apply(ledger_.finish(clock_(), trailing));
        push_gap({pushed_, trailing, GapCause::NotDelivered});
    }
    if (overflowing_) end_overflow();
    if (unsent_.bytes != 0 && gaps_.push(unsent_)) unsent_ = {};
    hold_at_.store(kNoHold, std::memory_order_release);
    {
        std::lock_guard lock(m_);
        store();
        for (const Entry& e : queue_) data_(e.index);
        queue_.clear();
        ring_.discard(ring_.size());
        popped_ = 0;
        recorded_.store(0);
    }
    ledger_ = CaptureLedger(bps_, align_);
    pushed_ = held_from_ = 0;
    producing_.store(false, std::memory_order_release);
}

void CaptureQueue::take_gaps(std::vector<CaptureGap>& out) {
    for (CaptureGap g; gaps_.pop(&g, 1) == 1;) out.push_back(g);
}

bool CaptureQueue::close() {
    std::lock_guard lock(m_);
    if (!queue_.empty()) return false;
    closing_ = true;
    return true;
}

void CaptureQueue::store() {
    while (!queue_.empty()) {
        // The ring's size first: sound seen there was pushed after any hold that covers it was set.
        uint64_t available = ring_.size();
        const uint64_t hold = hold_at_.load(std::memory_order_acquire);
        if (hold != kNoHold) available = std::min(available, hold > popped_ ? hold - popped_ : 0);
        if (available == 0) return;
        WaveHeader& h = *queue_.front().header;
        const size_t n = ring_.pop(h.data + h.recorded, size_t(std::min<uint64_t>(available, h.length - h.recorded)));
        h.recorded += uint32_t(n);
        popped_ += n;
        recorded_.store(popped_, std::memory_order_relaxed);
        if (h.recorded >= h.length) {
            data_(queue_.front().index);
            queue_.pop_front();
        }
    }
}

}  // namespace dl
