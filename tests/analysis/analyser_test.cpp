// The analyser as a value: parameters and blocks in, what it measured out, and nothing shared
// between two of them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "analysis/analyser.h"
#include "analysis/measured_spectrum.h"
#include "analysis/meter_strip.h"
#include "analysis/pitch.h"

namespace dl {
namespace {

constexpr int kFrames = 4096;
constexpr double kRate = 44100;

// A mono 16-bit run with every part that keeps something between blocks switched on: the
// averaged trace and its held maxima, the peak list and the A4, the tracker, the meter strip with
// its loudness, the rows' observer.
AnalysisParams RunParams() {
    AnalysisParams p;
    p.fftparam = 12;
    p.mado = 0;
    p.display = kViewLog;
    p.freqnum = 4;
    p.tuner = 1;
    p.averaging = 1;
    p.average_ms = 300;
    p.max_hold = 1;
    p.level_meter = 2;
    p.meter_ballistics = 2;
    p.sample_rate = uint32_t(kRate);
    p.channel_layout = 1;
    p.output_bytes_per_second = uint32_t(kRate) * 2;
    p.block_bytes = kFrames * 2;
    p.rows_observed = true;
    return p;
}

// An analyser with transform arrays of its own.
struct OwnAnalyser {
    std::unique_ptr<Analyser> an = std::make_unique<Analyser>();
    std::vector<double> re = std::vector<double>(1 << 16), im = std::vector<double>(1 << 16);
    OwnAnalyser() {
        an->work.re = re.data();
        an->work.im = im.data();
        an->work.n = 1 << 16;
        an->configure(RunParams());
    }
};

// Block `k` of a sound: a note that glides, with harmonics, in noise of its own seed.
std::vector<uint8_t> Block(double hz, unsigned seed, int k) {
    std::mt19937 noise(seed + unsigned(k));
    std::normal_distribution<double> gauss(0, 300);
    std::vector<uint8_t> bytes(size_t(kFrames) * 2);
    const double f = hz * (1 + 0.01 * k);
    for (int i = 0; i < kFrames; ++i) {
        const double t = (double(k) * kFrames + i) / kRate;
        double v = gauss(noise);
        for (int h = 1; h <= 4; ++h) v += 6000.0 / h * std::sin(2 * std::numbers::pi * h * f * t);
        const int s = int(std::lround(v));
        bytes[size_t(2 * i)] = uint8_t(s & 0xff);
        bytes[size_t(2 * i + 1)] = uint8_t((s >> 8) & 0xff);
    }
    return bytes;
}

// What a block's analysis shows, as one comparable text: read-outs, labels, the tracker, the
// meters, and a digest of every display level of the averaged and the held traces.
std::string Shown(const BlockAnalysis& a) {
    std::string s;
    char text[160];
    std::snprintf(text, sizeof text, "peak %.9g %d a4 %d %.9g %.9g f0 %d %.9g %s | ", a.peak_frequency,
                  a.peak_level.decibels, a.a4_shown, a.a4_frequency, a.a4_cents, a.f0_voiced, a.f0_frequency,
                  a.f0_note.c_str());
    s += text;
    for (const PeakLabel& l : a.labels) {
        std::snprintf(text, sizeof text, "%.9g ", l.frequency);
        s += text;
    }
    std::snprintf(text, sizeof text, "| bar %.9g rms %.9g M %.9g S %.9g | ", a.strip.channel[0].bar,
                  a.strip.channel[0].rms, a.strip.loudness.momentary, a.strip.loudness.short_term);
    s += text;
    uint64_t digest = 1469598103934665603ull;
    for (const uint8_t* levels : {a.levels, a.max_levels})
        for (int k = 0; levels && k < a.n / 2; ++k) digest = (digest ^ levels[k]) * 1099511628211ull;
    s += std::to_string(digest);
    return s;
}

std::vector<std::string> Alone(double hz, unsigned seed, int blocks) {
    OwnAnalyser a;
    std::vector<std::string> shown;
    for (int k = 0; k < blocks; ++k) {
        const std::vector<uint8_t> b = Block(hz, seed, k);
        shown.push_back(Shown(a.an->measure({b.data(), uint32_t(b.size()), k * kFrames / kRate})));
    }
    return shown;
}

TEST(Analyser, TwoAnalysersFedInTurnEachGiveWhatTheyGiveAlone) {
    constexpr int kBlocks = 8;
    const std::vector<std::string> low = Alone(110, 1, kBlocks), high = Alone(660, 2, kBlocks);
    ASSERT_NE(low, high);
    OwnAnalyser a, b;
    for (int k = 0; k < kBlocks; ++k) {
        const std::vector<uint8_t> x = Block(110, 1, k), y = Block(660, 2, k);
        EXPECT_EQ(Shown(a.an->measure({x.data(), uint32_t(x.size()), k * kFrames / kRate})), low[size_t(k)]) << k;
        EXPECT_EQ(Shown(b.an->measure({y.data(), uint32_t(y.size()), k * kFrames / kRate})), high[size_t(k)]) << k;
    }
    // The two remembered their own notes and loudness.
    EXPECT_NEAR(a.an->fundamental.frequency, 110 * 1.07, 1);
    EXPECT_NEAR(b.an->fundamental.frequency, 660 * 1.07, 3);
    EXPECT_TRUE(a.an->latest().strip.loudness.momentary_ready);
}

// What the analyser keeps from block to block is what its own resets renew: after them the same
// blocks give the same values again.
TEST(Analyser, ItsResetsGiveTheSameValuesForTheSameBlocksAgain) {
    OwnAnalyser a;
    std::vector<std::string> first, again;
    for (std::vector<std::string>* shown : {&first, &again}) {
        ResetPitchHistory(*a.an);
        ResetMeasuredSpectrum(*a.an);
        ResetMeterStrip(a.an->meters);
        for (int k = 0; k < 4; ++k) {
            const std::vector<uint8_t> x = Block(220, 3, k);
            shown->push_back(Shown(a.an->measure({x.data(), uint32_t(x.size()), k * kFrames / kRate})));
        }
    }
    EXPECT_EQ(first, again);
}

// A block is read through its view: no samples, no analysis; the times it stands for come from
// where it lies and the transform's length.
TEST(Analyser, ABlockWithoutSamplesGivesNothingAndTheTimesFollowTheView) {
    OwnAnalyser a;
    const BlockAnalysis& none = a.an->measure({nullptr, 8192, 2.0});
    EXPECT_FALSE(none.spectrum);
    EXPECT_EQ(none.meter_count, 0);
    const std::vector<uint8_t> x = Block(440, 4, 0);
    const BlockAnalysis& some = a.an->measure({x.data(), uint32_t(x.size()), 2.0});
    EXPECT_TRUE(some.spectrum);
    EXPECT_EQ(some.seconds, 2.0);
    EXPECT_DOUBLE_EQ(some.spectrum_seconds, 2.0 + 0.5 * kFrames / kRate);
    EXPECT_NEAR(some.peak_frequency, 440, kRate / 4096);
}

}  // namespace
}  // namespace dl
