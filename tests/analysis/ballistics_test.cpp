// The strip's bars against what their standards ask of them: tone bursts on the quasi-peak meters,
// the return times, the VU pointer's rise and overshoot, the RMS window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/ballistics.h"

using dl::Ballistics;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A mono sine of `seconds` at `dbfs`, then `silence` seconds of nothing.
std::vector<int16_t> burst(uint32_t rate, double hz, double dbfs, double seconds, double silence) {
    std::vector<int16_t> s(size_t(std::lround((seconds + silence) * rate)), 0);
    const size_t on = size_t(std::lround(seconds * rate));
    const double a = std::pow(10.0, dbfs / 20) * 32767;
    for (size_t i = 0; i < on; ++i) s[i] = int16_t(std::lround(a * std::sin(2 * kPi * hz * double(i) / rate)));
    return s;
}

// The readings block by block (blocks of `block` samples), as the ticks take them.
std::vector<double> readings(Ballistics kind, uint32_t rate, const std::vector<int16_t>& s, size_t block) {
    const dl::BallisticConstants c = dl::MakeBallistics(kind, rate);
    dl::BallisticState state;
    dl::ResetBallistics(c, state);
    std::vector<double> out;
    for (size_t i = 0; i < s.size(); i += block)
        out.push_back(dl::RunBallistics(c, state, s.data() + i, std::min(block, s.size() - i), 1));
    return out;
}

double highest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }
double db(double x) { return 20 * std::log10(x); }

}  // namespace

// Every kind reads a steady 1 kHz sine at its peak level.
TEST(Ballistics, SteadySinesReadTheirPeakLevel) {
    for (uint32_t rate : {48000u, 44100u, 11025u}) {
        for (Ballistics kind : {Ballistics::SamplePeak, Ballistics::Rms, Ballistics::PpmTypeI, Ballistics::PpmTypeIIb,
                                Ballistics::Vu}) {
            const std::vector<double> r = readings(kind, rate, burst(rate, 1000, -20, 3, 0), rate / 10);
            EXPECT_NEAR(db(r.back()), -20.0, 0.15) << int(kind) << " at " << rate;
        }
    }
}

// A 10 ms burst of 5 kHz reads 1 dB (type I) and 2 dB (type IIb) below the steady reading, within
// half a decibel; a 5 ms burst about twice as far below. The meters that do not integrate read the
// burst in full (sample peak) or as its share of their window.
TEST(Ballistics, QuasiPeakMetersReadShortBurstsLow) {
    struct Case {
        Ballistics kind;
        double ten_ms, five_ms;
    };
    for (uint32_t rate : {48000u, 44100u}) {
        for (const Case& c : {Case{Ballistics::PpmTypeI, -1.0, -2.0}, Case{Ballistics::PpmTypeIIb, -2.0, -4.0}}) {
            const double steady = highest(readings(c.kind, rate, burst(rate, 5000, -10, 1, 0), 512));
            const double ten = highest(readings(c.kind, rate, burst(rate, 5000, -10, 0.010, 0.5), 512));
            const double five = highest(readings(c.kind, rate, burst(rate, 5000, -10, 0.005, 0.5), 512));
            EXPECT_NEAR(db(ten / steady), c.ten_ms, 0.5) << int(c.kind) << " at " << rate;
            EXPECT_NEAR(db(five / steady), c.five_ms, 0.75) << int(c.kind) << " at " << rate;
            EXPECT_NEAR(db(steady), -10.0, 0.15);
        }
        const double peak = highest(readings(Ballistics::SamplePeak, rate, burst(rate, 5000, -10, 0.010, 0.5), 512));
        EXPECT_NEAR(db(peak), -10.0, 0.1);
    }
}

// After the sound stops, type I falls 20 dB in 1.5 s and type IIb 24 dB in 2.8 s (within 10 %).
TEST(Ballistics, QuasiPeakMetersReturnAtTheirRate) {
    struct Case {
        Ballistics kind;
        double fall_db, seconds;
    };
    const uint32_t rate = 48000;
    for (const Case& c : {Case{Ballistics::PpmTypeI, 20, 1.5}, Case{Ballistics::PpmTypeIIb, 24, 2.8}}) {
        const std::vector<double> r = readings(c.kind, rate, burst(rate, 1000, -6, 1, 4), rate / 100);  // 10 ms blocks
        const double start = r[99];  // the last block of sound
        size_t fallen = 100;
        while (fallen < r.size() && db(r[fallen] / start) > -c.fall_db) ++fallen;
        const double seconds = double(fallen - 99) / 100;
        EXPECT_NEAR(seconds, c.seconds, 0.1 * c.seconds) << int(c.kind);
    }
}

// The VU pointer: a 1 kHz sine switched on takes it to 99 % of its final reading in 300 ms (+-10 %),
// overshooting by 1 to 1.5 %; the fall after the sound mirrors the rise.
TEST(Ballistics, VuPointerRisesIn300Milliseconds) {
    for (uint32_t rate : {48000u, 44100u, 22050u}) {
        const std::vector<double> r = readings(Ballistics::Vu, rate, burst(rate, 1000, -20, 3, 0), rate / 1000);  // 1 ms
        const double steady = r.back();
        size_t at99 = 0;
        while (at99 < r.size() && r[at99] < 0.99 * steady) ++at99;
        EXPECT_GE(at99, 270u) << rate;
        EXPECT_LE(at99, 330u) << rate;
        const double over = highest(r) / steady - 1;
        EXPECT_GE(over, 0.009) << rate;
        EXPECT_LE(over, 0.016) << rate;
    }
    EXPECT_NEAR(dl::VuDamping(), 0.813, 0.001);
}

// RMS over 300 ms: a 150 ms burst holds half the window's energy at most (-3 dB), and leaves the
// window exactly 300 ms after it began.
TEST(Ballistics, RmsWindowHolds300Milliseconds) {
    const uint32_t rate = 48000;
    const std::vector<double> r = readings(Ballistics::Rms, rate, burst(rate, 1000, -20, 0.150, 0.5), 480);
    EXPECT_NEAR(db(highest(r)), -23.0, 0.1);
    // Blocks of 10 ms: the burst spans blocks 0..14, the window empties after block 44.
    EXPECT_GT(r[43], 0.0);
    EXPECT_EQ(r[45], 0.0);
    // Samples taken with a stride (one channel of a stereo block).
    std::vector<int16_t> stereo;
    for (int16_t v : burst(rate, 1000, -20, 1, 0)) stereo.insert(stereo.end(), {v, int16_t(0)});
    const dl::BallisticConstants c = dl::MakeBallistics(Ballistics::Rms, rate);
    dl::BallisticState left, right;
    dl::ResetBallistics(c, left);
    dl::ResetBallistics(c, right);
    EXPECT_NEAR(db(dl::RunBallistics(c, left, stereo.data(), stereo.size() / 2, 2)), -20.0, 0.05);
    EXPECT_EQ(dl::RunBallistics(c, right, stereo.data() + 1, stereo.size() / 2, 2), 0.0);
}

// The sample peak and the RMS window on interleaved blocks of every length, against the plain
// per-sample definitions: each channel's own values only (never its neighbour's; the block ends
// where its last frame does, so a read past it shows under the address sanitizer), the full-scale
// negative sample, and the window carried across blocks and its wrap.
TEST(Ballistics, SamplePeakAndRmsReadEachChannelExactlyWhateverTheBlock) {
    const uint32_t rate = 1000;  // a window of 300 samples, wrapped many times below
    uint32_t seed = 7;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (size_t channels : {1u, 2u}) {
        const dl::BallisticConstants peak = dl::MakeBallistics(Ballistics::SamplePeak, rate);
        const dl::BallisticConstants rms = dl::MakeBallistics(Ballistics::Rms, rate);
        std::vector<dl::BallisticState> state(channels);
        for (auto& s : state) dl::ResetBallistics(rms, s);
        std::vector<std::vector<int64_t>> history(channels);
        for (size_t frames : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 33u, 299u, 300u, 301u, 1000u}) {
            // One block with a loud sample at a random place in one channel.
            std::vector<int16_t> block(frames * channels);
            for (int16_t& v : block) v = int16_t(int(next() >> 20) % 2001 - 1000);
            if (frames > 0) block[(next() % frames) * channels + next() % channels] = (next() & 1) ? -32768 : 32767;
            for (size_t c = 0; c < channels; ++c) {
                int high = 0;
                for (size_t i = 0; i < frames; ++i) {
                    const int v = block[i * channels + c];
                    high = std::max(high, std::abs(v));
                    history[c].push_back(int64_t(v) * v);
                }
                int64_t sum = 0;
                for (size_t i = history[c].size() > 300 ? history[c].size() - 300 : 0; i < history[c].size(); ++i)
                    sum += history[c][i];
                dl::BallisticState none;
                EXPECT_EQ(dl::RunBallistics(peak, none, block.data() + c, frames, channels), high / 32768.0)
                    << channels << " channels, " << frames << " frames, channel " << c;
                EXPECT_EQ(dl::RunBallistics(rms, state[c], block.data() + c, frames, channels),
                          std::sqrt(2.0 * double(sum) / 300.0) / 32768.0)
                    << channels << " channels, " << frames << " frames, channel " << c;
            }
        }
    }
}
