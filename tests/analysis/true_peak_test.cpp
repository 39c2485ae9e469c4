// The true peak between samples, as the loudness meter reads it.
#include "analysis/true_peak.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
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

// The interpolating filter summed the plain way:
// each output tap by tap from zero in single precision, the samples themselves counted too.
double PlainTruePeak(const std::vector<float>& frames, int channels) {
    const auto& h = dl::kTruePeakPhases;
    const size_t n = frames.size() / size_t(channels);
    float largest = 0;
    for (int c = 0; c < channels; ++c) {
        std::vector<float> x(11, 0.0f);
        for (size_t i = 0; i < n; ++i) x.push_back(frames[i * size_t(channels) + size_t(c)]);
        for (size_t i = 0; i < n; ++i) {
            largest = std::max(largest, std::fabs(x[i + 11]));
            for (const auto& phase : h) {
                float y = 0;
                for (size_t k = 0; k < 12; ++k) y += phase[k] * x[i + k];
                largest = std::max(largest, std::fabs(y));
            }
        }
    }
    return largest;
}

TEST(TruePeak, ReadsWhatThePlainFilterReadsToTheLastBit) {
    // Lengths around the eight outputs summed side by side and the chunks the channels are cut
    // in; a NaN or an infinity in a float file is passed over or read as the plain sums do.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> level(-1.2f, 1.2f);
    for (int channels : {1, 2, 5})
        for (size_t n : {size_t(1), size_t(7), size_t(8), size_t(9), size_t(1023), size_t(1024), size_t(1031), size_t(3001)})
            for (int odd = 0; odd < 3; ++odd) {
                std::vector<float> frames(n * size_t(channels));
                for (float& v : frames) v = level(random);
                if (odd == 1) frames[frames.size() / 2] = std::numeric_limits<float>::quiet_NaN();
                if (odd == 2) frames[frames.size() / 3] = -std::numeric_limits<float>::infinity();
                dl::TruePeak tp(channels);
                tp.add(frames.data(), n);
                EXPECT_EQ(tp.peak(), PlainTruePeak(frames, channels)) << channels << " channels, " << n << " frames, case " << odd;
            }
}

}  // namespace
