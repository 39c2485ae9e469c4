// The input's ledger against a clock the test turns: a device that keeps time, one that stalls and
// catches up, one that stalls and goes on, one whose clock drifts, one that delivers in large pieces.
#include "platform/capture_ledger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kBps = 44100 * 4;  // 16-bit stereo at 44.1 kHz
constexpr size_t kAlign = 4;

// Bytes of `seconds` of sound, whole frames.
uint64_t bytes_of(double seconds) {
    const auto b = uint64_t(std::llround(seconds * kBps));
    return b - b % kAlign;
}

// Feeds a ledger and keeps what it said.
struct Feed {
    dl::CaptureLedger ledger{kBps, kAlign};
    double now = 0;
    std::vector<uint64_t> gaps;
    int holds = 0, releases = 0;

    void deliver(uint64_t bytes, double at) {
        now = at;
        const dl::CaptureLedger::Step s = ledger.deliver(bytes, at);
        if (s.gap_bytes) gaps.push_back(s.gap_bytes);
        holds += s.hold;
        releases += s.release;
    }
    // `seconds` of sound in pieces of `piece` seconds, each arriving when its last frame was heard
    // (plus `late` seconds), from `from` on the clock.
    double steady(double from, double seconds, double piece = 0.01, double late = 0) {
        const int n = int(std::llround(seconds / piece));
        for (int k = 1; k <= n; ++k) deliver(bytes_of(piece), from + k * piece + late);
        return from + n * piece;
    }
};

TEST(CaptureLedger, ADeviceThatKeepsTimeLeavesNoGapWhateverItsJitter) {
    Feed f;
    // 10 ms pieces, each up to 30 ms late by turns, for a minute; then a 200 ms hiccup of the
    // machine after which everything waiting comes at once.
    for (int k = 1; k <= 6000; ++k) f.deliver(bytes_of(0.01), k * 0.01 + (k % 7) * 0.005);
    const double t = 60.0;
    f.deliver(bytes_of(0.01), t + 0.21);
    for (int k = 2; k <= 21; ++k) f.deliver(bytes_of(0.01), t + 0.21);
    f.steady(t + 0.21, 5.0);
    EXPECT_TRUE(f.gaps.empty());
    EXPECT_EQ(f.holds, f.releases) << "a late delivery waits only until the device catches up";
    EXPECT_FALSE(f.ledger.holding());
}

TEST(CaptureLedger, AStallTheDeviceNeverMakesUpIsAGapOfItsLength) {
    for (double stall : {0.25, 3.0, 10.0}) {
        SCOPED_TRACE(stall);
        Feed f;
        double t = f.steady(0, 2.0);
        // Nothing for `stall` seconds, then the device goes on from where it stands.
        t = f.steady(t + stall, 2.0);
        ASSERT_EQ(f.gaps.size(), 1u);
        EXPECT_EQ(f.gaps[0], bytes_of(stall));
        EXPECT_EQ(f.holds, 1);
        EXPECT_FALSE(f.ledger.holding()) << "decided within a second of the stall";
        uint64_t trailing = 1;
        f.ledger.finish(t + 0.01, trailing);
        EXPECT_EQ(trailing, 0u) << "nothing missing at the end";
    }
}

TEST(CaptureLedger, AStallTheDeviceMakesUpForIsNoGapAndAPartialOneLeavesTheRest) {
    Feed f;
    double t = f.steady(0, 2.0);
    // A sound server that stood still for 3 s sends the 3 s it kept at once.
    t += 3.0;
    for (int k = 0; k < 300; ++k) f.deliver(bytes_of(0.01), t);
    t = f.steady(t, 2.0);
    EXPECT_TRUE(f.gaps.empty());
    EXPECT_EQ(f.holds, 1);
    EXPECT_EQ(f.releases, 1);

    // One that kept only the last 2 s of a 3 s stall: the first second is lost.
    t += 3.0;
    for (int k = 0; k < 200; ++k) f.deliver(bytes_of(0.01), t);
    f.steady(t, 2.0);
    ASSERT_EQ(f.gaps.size(), 1u);
    EXPECT_EQ(f.gaps[0], bytes_of(1.0));
}

TEST(CaptureLedger, AStartThatTakesItsTimeAndASlowClockAreNoGap) {
    Feed f;
    // The first sound comes 2 s after recording began: the clock starts there.
    const double t = f.steady(2.0, 1.0);
    // A device whose clock runs 0.1 % slow, for an hour: an hour of sound in 3603.6 s.
    for (int k = 1; k <= 360000; ++k) f.deliver(bytes_of(0.01), t + k * 0.01001);
    EXPECT_TRUE(f.gaps.empty());
    EXPECT_EQ(f.holds, 0);
}

TEST(CaptureLedger, ADeviceOfLargePiecesIsLateByAPieceWithoutAGap) {
    Feed f;
    // 170 ms periods (a large JACK period), each up to a period late.
    for (int k = 1; k <= 600; ++k) f.deliver(bytes_of(0.17), k * 0.17 + (k % 2) * 0.17);
    EXPECT_TRUE(f.gaps.empty());
    EXPECT_EQ(f.holds, 0);
}

TEST(CaptureLedger, TheEndDecidesAnOpenStallAndTellsTheTimeWithoutSound) {
    Feed f;
    double t = f.steady(0, 1.0);
    uint64_t trailing = 0;
    // Nothing since: recording ends 2.5 s after the last sound came.
    dl::CaptureLedger::Step s = f.ledger.finish(t + 2.5, trailing);
    EXPECT_EQ(s.gap_bytes, 0u);
    EXPECT_EQ(trailing, bytes_of(2.5));

    // A stall just past, the device barely begun again when recording ends: the stall is a gap.
    Feed g;
    t = g.steady(0, 1.0);
    t = g.steady(t + 4.0, 0.2);
    ASSERT_TRUE(g.ledger.holding());
    s = g.ledger.finish(t, trailing);
    EXPECT_EQ(s.gap_bytes, bytes_of(4.0));
    EXPECT_TRUE(s.release);
    EXPECT_EQ(trailing, 0u);
}

}  // namespace
