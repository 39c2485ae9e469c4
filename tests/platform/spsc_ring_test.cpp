#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/spsc_ring.h"

namespace {

using dl::SpscRing;

std::vector<int> drained(SpscRing<int>& ring) {
    std::vector<int> out;
    ring.drain([&](int v) { out.push_back(v); });
    return out;
}

TEST(SpscRing, KeepsTheOrderAndRefusesWhenFull) {
    SpscRing<int> ring(5);
    ASSERT_EQ(ring.capacity(), 8u) << "rounded up to a power of two";
    EXPECT_TRUE(ring.empty());
    EXPECT_EQ(ring.front(), nullptr);
    int out[8];
    EXPECT_EQ(ring.pop(out, 8), 0u) << "nothing to take from an empty ring";
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(ring.push(10 + i));
    EXPECT_FALSE(ring.push(99)) << "full";
    EXPECT_EQ(ring.size(), 8u);
    ASSERT_NE(ring.front(), nullptr);
    EXPECT_EQ(*ring.front(), 10);
    ring.pop();
    EXPECT_EQ(*ring.front(), 11);
    EXPECT_TRUE(ring.push(18)) << "room again after one is taken";
    EXPECT_EQ(drained(ring), (std::vector<int>{11, 12, 13, 14, 15, 16, 17, 18}));
    EXPECT_TRUE(ring.empty());
}

TEST(SpscRing, DrainingReturnsEveryValueInOrderAcrossTheWrap) {
    // What a device's reset sees: buffers queued after many have come and gone, the oldest
    // half-taken, all returned in the order queued.
    SpscRing<int> ring(4);
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(ring.push(i));
        ring.pop();
    }
    // Six have come and gone: the next four lie in the last two slots and the first two.
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(ring.push(40 + i));
    EXPECT_FALSE(ring.push(-1));
    EXPECT_EQ(drained(ring), (std::vector<int>{40, 41, 42, 43}));
    EXPECT_EQ(drained(ring), std::vector<int>{}) << "a second drain finds nothing";
    ASSERT_TRUE(ring.push(7));
    EXPECT_EQ(drained(ring), std::vector<int>{7});
}

TEST(SpscRing, BlocksOfValuesSplitAtTheEndOfTheStorage) {
    SpscRing<uint8_t> ring(8);
    const uint8_t a[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(ring.push(a, 6), 6u);
    uint8_t out[8] = {};
    ASSERT_EQ(ring.pop(out, 5), 5u);
    // Nine offered, seven fit beside the one still there: two land at the end of the storage, the
    // rest at its start.
    const uint8_t b[9] = {7, 8, 9, 10, 11, 12, 13, 14, 15};
    EXPECT_EQ(ring.push(b, 9), 7u);
    EXPECT_EQ(ring.size(), 8u);
    ASSERT_EQ(ring.pop(out, 8), 8u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{6, 7, 8, 9, 10, 11, 12, 13}));
    ASSERT_EQ(ring.push(b, 3), 3u);
    ring.discard(2);
    ASSERT_EQ(ring.pop(out, 8), 1u);
    EXPECT_EQ(out[0], 9);
    ring.discard(5);  // more than there is: empty, not below
    EXPECT_TRUE(ring.empty());
    EXPECT_EQ(ring.push(a, 6), 6u);
}

TEST(SpscRing, ThreadsSeeEveryValueOnceInOrder) {
    // A producer and a consumer at full speed through a small ring: every value arrives, once, in
    // order, with the blocks and the single values mixed.
    constexpr uint32_t kValues = 200000;
    SpscRing<uint32_t> ring(64);
    std::atomic<bool> wrong{false};
    std::thread consumer([&] {
        uint32_t next = 0, block[16];
        while (next < kValues) {
            if (next % 3 == 0) {
                const size_t n = ring.pop(block, 16);
                for (size_t k = 0; k < n; ++k)
                    if (block[k] != next++) wrong = true;
            } else if (const uint32_t* v = ring.front()) {
                if (*v != next++) wrong = true;
                ring.pop();
            }
        }
    });
    uint32_t next = 0;
    while (next < kValues) {
        uint32_t block[7];
        for (uint32_t k = 0; k < 7; ++k) block[k] = next + k;
        next += uint32_t(ring.push(block, std::min<uint32_t>(7, kValues - next)));
    }
    consumer.join();
    EXPECT_FALSE(wrong);
    EXPECT_TRUE(ring.empty());
}

}  // namespace
