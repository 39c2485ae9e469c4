// The true peak between samples, as the loudness meter reads it.
#include "analysis/true_peak.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A sine faded in over 10 ms: a sound that jumps out of silence overshoots between its samples.
std::vector<int16_t> sine(double hz, double amplitude, double phase, uint32_t rate, int channels, size_t frames) {
    std::vector<int16_t> out(frames * size_t(channels));
    const double fade = rate / 100.0;
    for (size_t i = 0; i < frames; ++i) {
        const double gain = i < fade ? 0.5 - 0.5 * std::cos(kPi * double(i) / fade) : 1.0;
        for (int c = 0; c < channels; ++c)
            out[i * size_t(channels) + size_t(c)] =
                int16_t(std::lround(32767 * gain * amplitude * std::sin(2 * kPi * hz * double(i) / rate + phase + c)));
    }
    return out;
}

double db(double fraction) { return 20 * std::log10(fraction); }

TEST(TruePeak, ReadsTheCrestOfASineWhereverItFallsBetweenSamples) {
    // The standard's filter keeps to +0.2/-0.4 dB up to a fifth of the rate; nearer the top it
    // over-reads a little more, and it never under-reads.
    for (uint32_t rate : {44100u, 48000u})
        for (double hz : {997.0, 5000.0, 8000.0, 12000.0, 19000.0})
            for (double phase : {0.0, 0.3, kPi / 4, 1.1}) {
                dl::TruePeak tp(2);
                const std::vector<int16_t> s = sine(hz, 0.5, phase, rate, 2, rate / 2);
                tp.add(s.data(), rate / 2);
                const double over = db(tp.peak()) - db(0.5);
                EXPECT_GE(over, -0.4) << rate << " Hz, " << hz << " Hz, phase " << phase;
                EXPECT_LE(over, hz <= rate / 5.0 ? 0.2 : 0.7) << rate << " Hz, " << hz << " Hz, phase " << phase;
            }
}

TEST(TruePeak, GivesTheSameReadingInPiecesOfAnySizeAndStartsAgainOnReset) {
    const std::vector<int16_t> s = sine(12000, 0.7, 0.7, 48000, 2, 5000);
    dl::TruePeak whole(2), pieces(2);
    whole.add(s.data(), 5000);
    for (size_t at = 0, n = 1; at < 5000; at += n, n = n * 3 % 1500 + 1) pieces.add(s.data() + 2 * at, std::min<size_t>(n, 5000 - at));
    EXPECT_DOUBLE_EQ(whole.peak(), pieces.peak());
    EXPECT_GT(whole.peak(), 0.69);
    whole.reset();
    EXPECT_EQ(whole.peak(), 0.0);
    const std::vector<int16_t> quiet = sine(1000, 0.1, 0, 48000, 2, 4800);
    whole.add(quiet.data(), 4800);
    EXPECT_NEAR(whole.peak(), 0.1, 0.005) << "nothing of the loud sound before the reset";
}

}  // namespace
