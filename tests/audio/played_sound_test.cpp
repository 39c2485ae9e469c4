// The sound a play keeps for the block heard now, and where that block starts.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "audio/played_sound.h"

namespace {

std::vector<uint8_t> counting(uint8_t first, size_t n) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

TEST(PlayedSound, KeepsTheLatestBytesByTheirPlaceAcrossTheRingsEnd) {
    dl::ResetPlayedSound(100, 1.0, 0);  // room for 100 bytes
    const std::vector<uint8_t> a = counting(0, 60), b = counting(60, 60);
    dl::KeepPlayedSound(0, a.data(), 60);
    dl::KeepPlayedSound(60, b.data(), 60);
    std::vector<uint8_t> out(50);
    ASSERT_TRUE(dl::CopyPlayedSound(50, out.data(), 50));
    EXPECT_EQ(out, counting(50, 50)) << "across the end of the ring";
    EXPECT_FALSE(dl::CopyPlayedSound(10, out.data(), 50)) << "written over already";
    EXPECT_FALSE(dl::CopyPlayedSound(100, out.data(), 50)) << "not queued yet";
    // A stretch never kept (four bytes of silence a converter stood in with) reads as silence.
    const std::vector<uint8_t> c = counting(200, 10);
    dl::KeepPlayedSound(124, c.data(), 10);
    std::vector<uint8_t> gap(14);
    ASSERT_TRUE(dl::CopyPlayedSound(120, gap.data(), 14));
    EXPECT_EQ(std::vector<uint8_t>(gap.begin(), gap.begin() + 4), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(std::vector<uint8_t>(gap.begin() + 4, gap.end()), c);
    dl::FreePlayedSound();
    EXPECT_FALSE(dl::CopyPlayedSound(120, gap.data(), 14));
}

TEST(PlayedSound, TheBlockHeardNowStartsWhereTheListenerIs) {
    const uint32_t bps = 176400;  // 44.1 kHz stereo 16-bit
    // Nothing known beyond the buffers, no offset: the buffer that has just started.
    EXPECT_EQ(dl::HeardBlockStart(32768, false, 0, 0, bps, 4), 32768u);
    // The server still holds 60 ms: the block it plays now.
    EXPECT_EQ(dl::HeardBlockStart(32768, true, 32768 - 10584, 0, bps, 4), 32768u - 10584);
    // Never ahead of the buffer.
    EXPECT_EQ(dl::HeardBlockStart(32768, true, 40000, 0, bps, 4), 32768u);
    // 200 ms more to the ear (a headset): that much earlier in the sound, in whole frames.
    EXPECT_EQ(dl::HeardBlockStart(100000, false, 0, 200, bps, 4), 100000u - 35280);
    EXPECT_EQ(dl::HeardBlockStart(100001, false, 0, 1, bps, 4), 99824u);
    EXPECT_EQ(dl::HeardBlockStart(100001, false, 0, 0, bps, 4), 100001u) << "the buffer as it is";
    // Not before the start.
    EXPECT_EQ(dl::HeardBlockStart(1000, true, 500, 1000, bps, 4), 0u);
}

}  // namespace
