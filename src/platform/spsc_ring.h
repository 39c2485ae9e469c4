#pragma once
// A ring of values between one producing thread and one consuming thread. Neither end ever waits
// for the other, takes a lock or allocates, so a sound device's callback can be either end; the
// storage is allocated once, when the ring is made.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <memory>

namespace dl {

template <typename T>
class SpscRing {
public:
    // Holds at least `capacity` values (rounded up to a power of two).
    explicit SpscRing(size_t capacity) : mask_(std::bit_ceil(std::max<size_t>(capacity, 2)) - 1) {
        // Left as they come (pages of a large ring are only touched once they are used).
        slots_ = std::make_unique_for_overwrite<T[]>(mask_ + 1);
    }
    SpscRing(const SpscRing&) = delete;
    SpscRing& operator=(const SpscRing&) = delete;

    size_t capacity() const { return mask_ + 1; }
    // Exact on either end while the other stands still; otherwise a value it had a moment ago.
    size_t size() const { return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire); }
    bool empty() const { return size() == 0; }

    // Producer: false (and nothing added) when the ring is full.
    bool push(const T& value) { return push(&value, 1) == 1; }
    // Producer: adds as many of the `n` values as there is room for; returns how many.
    size_t push(const T* values, size_t n) {
        const size_t tail = tail_.load(std::memory_order_relaxed);
        n = std::min(n, capacity() - (tail - head_.load(std::memory_order_acquire)));
        for (size_t k = 0; k < n; ++k) slots_[(tail + k) & mask_] = values[k];
        tail_.store(tail + n, std::memory_order_release);
        return n;
    }

    // Consumer: the oldest value, or nullptr when the ring is empty; it stays until pop().
    T* front() {
        const size_t head = head_.load(std::memory_order_relaxed);
        return head == tail_.load(std::memory_order_acquire) ? nullptr : &slots_[head & mask_];
    }
    // Consumer: moves up to `n` of the oldest values to `out`; returns how many.
    size_t pop(T* out, size_t n) {
        const size_t head = head_.load(std::memory_order_relaxed);
        n = std::min(n, tail_.load(std::memory_order_acquire) - head);
        for (size_t k = 0; k < n; ++k) out[k] = slots_[(head + k) & mask_];
        head_.store(head + n, std::memory_order_release);
        return n;
    }
    // Consumer: drops the oldest value, or up to `n` of them.
    void pop() { discard(1); }
    void discard(size_t n) {
        const size_t head = head_.load(std::memory_order_relaxed);
        n = std::min(n, tail_.load(std::memory_order_acquire) - head);
        head_.store(head + n, std::memory_order_release);
    }
    // Consumer: hands every value to `fn`, oldest first, and empties the ring; returns how many.
    template <typename Fn>
    size_t drain(Fn&& fn) {
        size_t n = 0;
        while (T* v = front()) {
            fn(*v);
            pop();
            ++n;
        }
        return n;
    }

private:
    size_t mask_;
    std::unique_ptr<T[]> slots_;
    // Apart, so that the two ends do not share a cache line.
    alignas(64) std::atomic<size_t> head_{0};  // next to consume; written by the consumer only
    alignas(64) std::atomic<size_t> tail_{0};  // next free; written by the producer only
};

}  // namespace dl
