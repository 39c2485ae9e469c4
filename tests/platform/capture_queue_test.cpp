// The capture queue every input device shares, fed by the test as a device's callback would be, on a
// clock the test turns: what waits for a buffer is kept for many seconds, what the ring cannot hold
// is one gap at its place, and sound after a stall waits until it is known whether time was lost.
#include "platform/capture_queue.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr size_t kAlign = 2;
constexpr size_t kBps = 8000 * kAlign;  // 16-bit mono at 8 kHz

// The sample of byte pair k: a counter, so that what a buffer holds shows where it came from.
std::vector<uint8_t> counting(uint64_t from, size_t bytes) {
    std::vector<uint8_t> out(bytes);
    for (size_t i = 0; i < bytes; i += 2) {
        const uint64_t k = (from + i) / 2;
        out[i] = uint8_t(k & 0xFF);
        out[i + 1] = uint8_t((k >> 8) & 0xFF);
    }
    return out;
}
// The counter at `p`, and the one byte `at` of the sound carries (it wraps at 16 bits).
uint64_t sample_at(const uint8_t* p) { return uint64_t(p[0]) | uint64_t(p[1]) << 8; }
uint64_t sample_of(uint64_t at) { return (at / 2) & 0xFFFF; }

// A queue with four buffers of `buffer` bytes, which the test takes back and queues again.
class Queue : public ::testing::Test {
protected:
    using CaptureQueueClock = dl::CaptureQueue::Clock;
    void make(size_t buffer, CaptureQueueClock clock) {
        for (auto& s : storage_) s.assign(buffer, 0);
        queue_ = std::make_unique<dl::CaptureQueue>(
            [this](int index) {
                std::lock_guard lock(m_);
                full_.push_back(index);
                cv_.notify_all();
            },
            kAlign, kBps, std::move(clock));
        for (int i = 0; i < 4; ++i) add(i);
        queue_->set_recording(true);
    }
    void add(int i) {
        headers_[size_t(i)] = {storage_[size_t(i)].data(), uint32_t(storage_[size_t(i)].size())};
        headers_[size_t(i)].prepared = true;
        ASSERT_EQ(queue_->add_buffer(headers_[size_t(i)], i), dl::kWaveOk);
    }
    // Waits for the next full buffer (the worker's, on its own thread), takes it and queues it again;
    // false when none comes within ten seconds.
    bool next(std::vector<uint8_t>& got) {
        int index;
        {
            std::unique_lock lock(m_);
            if (!cv_.wait_for(lock, std::chrono::seconds(10), [this] { return !full_.empty(); })) return false;
            index = full_.front();
            full_.erase(full_.begin());
        }
        const dl::WaveHeader& h = headers_[size_t(index)];
        got.assign(h.data, h.data + h.recorded);
        add(index);
        return true;
    }
    // Waits a moment for a buffer that must not come: the worker has had every chance to hand it over.
    bool quiet() {
        std::unique_lock lock(m_);
        return !cv_.wait_for(lock, std::chrono::milliseconds(200), [this] { return !full_.empty(); });
    }
    void feed(uint64_t& at, size_t bytes) {
        const std::vector<uint8_t> d = counting(at, bytes);
        queue_->take(d.data(), d.size());
        at += bytes;
    }

    std::array<std::vector<uint8_t>, 4> storage_;
    std::array<dl::WaveHeader, 4> headers_{};
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<int> full_;
    std::unique_ptr<dl::CaptureQueue> queue_;
};

TEST_F(Queue, TenSecondsWithoutABufferAreKeptAndComeInOrder) {
    make(1600, nullptr);
    uint64_t at = 0;
    // The program takes nothing for ten seconds: four buffers fill, the rest waits in the ring.
    for (int k = 0; k < 1000; ++k) feed(at, 160);
    std::vector<uint8_t> got;
    uint64_t expected = 0;
    while (expected < at) {
        ASSERT_TRUE(next(got)) << "at byte " << expected;
        ASSERT_EQ(got.size(), 1600u);
        ASSERT_EQ(sample_at(got.data()), sample_of(expected)) << "nothing lost or out of order";
        expected += got.size();
    }
    std::vector<dl::CaptureGap> gaps;
    queue_->take_gaps(gaps);
    EXPECT_TRUE(gaps.empty());
}

TEST_F(Queue, WhatTheRingCannotHoldIsOneGapAtItsPlace) {
    make(1600, nullptr);
    uint64_t at = 0;
    // Far more than the ring holds, while the program takes nothing.
    const uint64_t fed = uint64_t(3 * dl::CaptureQueue::kRingSeconds * kBps);
    while (at < fed) feed(at, 160);
    std::vector<uint8_t> got;
    uint64_t kept = 0;
    // The program catches up on what was kept, to the last whole buffer; the device goes on then.
    while (!(queue_->held() == 0 && quiet())) {
        ASSERT_TRUE(next(got));
        ASSERT_EQ(sample_at(got.data()), sample_of(kept));
        kept += got.size();
    }
    for (int k = 0; k < 20; ++k) feed(at, 160);
    std::vector<dl::CaptureGap> gaps;
    queue_->take_gaps(gaps);
    ASSERT_EQ(gaps.size(), 1u) << "one gap for the stretch, not one a delivery";
    EXPECT_EQ(gaps[0].cause, dl::GapCause::Overflow);
    EXPECT_GE(gaps[0].at, uint64_t(dl::CaptureQueue::kRingSeconds * kBps)) << "the ring held its seconds";
    EXPECT_EQ(gaps[0].at + gaps[0].bytes, fed) << "the gap is exactly what was dropped";
    // The buffer under way holds the last of what was kept, then the device's sound after the gap.
    ASSERT_TRUE(next(got));
    ASSERT_GT(gaps[0].at, kept);
    const size_t split = size_t(gaps[0].at - kept);
    ASSERT_LT(split, got.size());
    EXPECT_EQ(sample_at(got.data()), sample_of(kept));
    EXPECT_EQ(sample_at(got.data() + split), sample_of(fed));
}

TEST_F(Queue, SoundAfterAStallWaitsUntilTheGapIsKnownAndComesAfterIt) {
    double now = 0;
    make(1600, [&now] { return now; });
    uint64_t at = 0;
    auto steady = [&](double seconds) {
        for (int k = 0; k < int(seconds * 100 + 0.5); ++k) {
            now += 0.01;
            feed(at, 160);
        }
    };
    steady(1.0);
    std::vector<uint8_t> got;
    for (int k = 0; k < 10; ++k) ASSERT_TRUE(next(got));
    // Three seconds without sound; then the device goes on, never making up for them.
    now += 3.0;
    steady(0.5);
    EXPECT_TRUE(quiet()) << "no buffer before the ledger knows";
    std::vector<dl::CaptureGap> gaps;
    queue_->take_gaps(gaps);
    EXPECT_TRUE(gaps.empty());
    steady(0.6);
    queue_->take_gaps(gaps);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].cause, dl::GapCause::NotDelivered);
    EXPECT_EQ(gaps[0].at, 16000u) << "after the second of sound before the stall";
    EXPECT_EQ(gaps[0].bytes, 3 * kBps);
    ASSERT_TRUE(next(got));
    EXPECT_EQ(sample_at(got.data()), 8000u) << "the sound after the stall, held, then in order";

    // At the end, the time since the last sound is told too.
    now += 2.0;
    queue_->reset();
    gaps.clear();
    queue_->take_gaps(gaps);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].bytes, 2 * kBps);
    EXPECT_EQ(gaps[0].at, at);
}

TEST_F(Queue, AHoleTheServerReportsIsAGapAndNotSound) {
    double now = 0;
    make(1600, [&now] { return now; });
    uint64_t at = 0;
    now += 0.1;
    feed(at, 1600);
    now += 0.25;
    queue_->take_lost(4000);
    now += 0.1;
    feed(at, 1600);
    std::vector<uint8_t> got;
    ASSERT_TRUE(next(got));
    ASSERT_TRUE(next(got));
    EXPECT_EQ(sample_at(got.data()), 800u) << "no silence put in its place";
    std::vector<dl::CaptureGap> gaps;
    queue_->take_gaps(gaps);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].at, 1600u);
    EXPECT_EQ(gaps[0].bytes, 4000u);
}

}  // namespace
