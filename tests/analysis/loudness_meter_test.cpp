// The loudness meter against the broadcasters' conformance cases, made here as signals: sines at
// stated levels and durations, read within the tolerances those cases give (momentary, short-term
// and integrated loudness +-0.1 LU, loudness range +-1 LU, true peak +0.2/-0.4 dB).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "analysis/loudness_meter.h"

using dl::LoudnessMeter;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Tone {
    double seconds;
    double dbfs;      // peak level of the sine, per channel
    double hz = 1000;
    double phase = 0;  // radians at the first sample
};

double db(double ratio) { return 20 * std::log10(ratio); }

// Interleaved 16-bit frames: every channel carries the same sine, one tone after the other with
// its phase running on.
std::vector<int16_t> tones(const std::vector<Tone>& parts, uint32_t rate, int channels,
                           const std::vector<double>& channel_db = {}) {
    std::vector<int16_t> out;
    double phase = parts.empty() ? 0 : parts.front().phase;
    for (const Tone& t : parts) {
        const size_t frames = size_t(std::llround(t.seconds * rate));
        for (size_t i = 0; i < frames; ++i) {
            const double s = std::sin(phase);
            phase += 2 * kPi * t.hz / rate;
            for (int c = 0; c < channels; ++c) {
                const double level = t.dbfs + (c < int(channel_db.size()) ? channel_db[size_t(c)] : 0.0);
                const double v = std::pow(10.0, level / 20) * 32768 * s;
                out.push_back(int16_t(std::clamp(std::lround(v), -32768L, 32767L)));
            }
        }
    }
    return out;
}

std::unique_ptr<LoudnessMeter> measured(const std::vector<int16_t>& frames, uint32_t rate, int channels,
                                        unsigned parts, bool bounded = false) {
    auto m = LoudnessMeter::create(channels, rate, parts, bounded);
    if (!m) return nullptr;
    // Fed in uneven pieces, as the ticks hand blocks over.
    const size_t piece = 4099;
    for (size_t f = 0; f * channels < frames.size(); f += piece) {
        const size_t n = std::min(piece, frames.size() / size_t(channels) - f);
        EXPECT_TRUE(m->add(frames.data() + f * size_t(channels), n));
    }
    return m;
}

constexpr unsigned kMsi = dl::kLoudnessMomentary | dl::kLoudnessShortTerm | dl::kLoudnessIntegrated;

}  // namespace

// A stereo 1 kHz sine at -23 dBFS reads -23 LUFS momentary, short-term and integrated; at -33 dBFS
// it reads -33; at both rates the program meets.
TEST(LoudnessMeter, SteadySinesReadTheirLevelAtEveryWindow) {
    for (uint32_t rate : {48000u, 44100u}) {
        for (double level : {-23.0, -33.0}) {
            auto m = measured(tones({{20, level}}, rate, 2), rate, 2, kMsi);
            ASSERT_TRUE(m);
            EXPECT_NEAR(m->momentary(), level, 0.1) << rate;
            EXPECT_NEAR(m->short_term(), level, 0.1) << rate;
            EXPECT_NEAR(m->integrated(), level, 0.1) << rate;
        }
    }
}

// The gates: quiet parts below the relative gate, and silence-like parts below the absolute one, do
// not lower the programme's loudness; loud and soft halves around it average by power.
TEST(LoudnessMeter, GatingCasesReadMinus23) {
    const std::vector<std::vector<Tone>> cases = {
        {{10, -36}, {60, -23}, {10, -36}},
        {{10, -72}, {10, -36}, {60, -23}, {10, -36}, {10, -72}},
        {{20, -26}, {20.1, -20}, {20, -26}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        for (bool bounded : {false, true}) {
            auto m = measured(tones(cases[i], 48000, 2), 48000, 2, dl::kLoudnessIntegrated, bounded);
            ASSERT_TRUE(m);
            EXPECT_NEAR(m->integrated(), -23.0, 0.1) << "case " << i << (bounded ? " bounded" : "");
        }
    }
}

// Five channels: the surrounds weigh 1.5 dB more, so at 1.5 dB below the fronts each counts as a
// front; a sixth channel (the LFE) does not count at all.
TEST(LoudnessMeter, SurroundChannelsWeighAsTheirPlacesSay) {
    const double expected = 10 * std::log10(5.0 / 2 * std::pow(10.0, -2.8));  // five fronts at -28 dBFS
    auto five = measured(tones({{20, -28}}, 48000, 5, {0, 0, 0, -1.5, -1.5}), 48000, 5, dl::kLoudnessIntegrated);
    ASSERT_TRUE(five);
    EXPECT_NEAR(five->integrated(), expected, 0.1);
    auto six = measured(tones({{20, -28}}, 48000, 6, {0, 0, 0, 20, -1.5, -1.5}), 48000, 6, dl::kLoudnessIntegrated);
    ASSERT_TRUE(six);
    EXPECT_NEAR(six->integrated(), expected, 0.1);
    // Mono counts its one channel once: 3 dB below the same sine on two channels.
    auto mono = measured(tones({{20, -23}}, 48000, 1), 48000, 1, dl::kLoudnessIntegrated);
    ASSERT_TRUE(mono);
    EXPECT_NEAR(mono->integrated(), -26.0, 0.1);
    EXPECT_FALSE(LoudnessMeter::create(3, 48000, dl::kLoudnessIntegrated, false));
    EXPECT_FALSE(LoudnessMeter::create(2, 0, dl::kLoudnessIntegrated, false));
}

// The weighting filters at 48 kHz as the measurement defines them: a shelf and a high-pass.
double k_weighting_db(double hz) {
    auto response = [hz](const double (&b)[3], const double (&a)[3]) {
        const double w = 2 * kPi * hz / 48000;
        const std::complex<double> z1 = std::polar(1.0, -w), z2 = z1 * z1;
        return std::abs((b[0] + b[1] * z1 + b[2] * z2) / (a[0] + a[1] * z1 + a[2] * z2));
    };
    const double shelf_b[3] = {1.53512485958697, -2.69169618940638, 1.19839281085285};
    const double shelf_a[3] = {1, -1.69065929318241, 0.73248077421585};
    const double pass_b[3] = {1, -2, 1}, pass_a[3] = {1, -1.99004745483398, 0.99007225036621};
    return db(response(shelf_b, shelf_a) * response(pass_b, pass_a));
}

// K-weighting: tones of other frequencies read their level plus the weighting's gain there
// relative to 1 kHz (the shelf lifts the highs by about 4 dB, the high-pass takes the lows down).
TEST(LoudnessMeter, OtherFrequenciesReadTheWeightingCurve) {
    const double at_1k = k_weighting_db(1000);
    for (double hz : {40.0, 100.0, 500.0, 3000.0, 10000.0}) {
        auto m = measured(tones({{10, -23, hz}}, 48000, 2), 48000, 2, dl::kLoudnessIntegrated);
        ASSERT_TRUE(m);
        EXPECT_NEAR(m->integrated(), -23.0 + k_weighting_db(hz) - at_1k, 0.1) << hz;
    }
    // Two tones add by power: 1 kHz and 10 kHz, each at -26 dBFS.
    std::vector<int16_t> a = tones({{10, -26}}, 48000, 2), b = tones({{10, -26, 10000}}, 48000, 2);
    for (size_t i = 0; i < a.size(); ++i) a[i] = int16_t(a[i] + b[i]);
    auto m = measured(a, 48000, 2, dl::kLoudnessIntegrated);
    ASSERT_TRUE(m);
    const double tenk = -26 + k_weighting_db(10000) - at_1k;
    EXPECT_NEAR(m->integrated(), 10 * std::log10(std::pow(10.0, -2.6) + std::pow(10.0, tenk / 10)), 0.1);
}

// The short-term window holds three seconds: a tone alternating 1.34 s at -20 dBFS and 1.66 s at
// -30 dBFS reads -23 throughout once three seconds have passed; the momentary window (400 ms) does
// the same with 0.18 s and 0.22 s.
TEST(LoudnessMeter, WindowsAverageAlternatingTonesToMinus23) {
    struct Case {
        double loud, quiet, settle;
        bool short_term;
    };
    for (const Case& c : {Case{1.34, 1.66, 3.0, true}, Case{0.18, 0.22, 1.0, false}}) {
        std::vector<Tone> parts;
        for (int i = 0; i < 7; ++i) parts.insert(parts.end(), {{c.loud, -20}, {c.quiet, -30}});
        const std::vector<int16_t> frames = tones(parts, 48000, 2);
        auto m = LoudnessMeter::create(2, 48000, kMsi, false);
        ASSERT_TRUE(m);
        const size_t step = 4800;  // 100 ms
        double low = 0, high = -100;
        for (size_t f = 0; f * 2 < frames.size(); f += step) {
            ASSERT_TRUE(m->add(frames.data() + 2 * f, std::min(step, frames.size() / 2 - f)));
            if ((f + step) / 48000.0 < c.settle) continue;
            const double v = c.short_term ? m->short_term() : m->momentary();
            low = std::min(low, v);
            high = std::max(high, v);
        }
        EXPECT_NEAR(low, -23.0, 0.1) << c.loud;
        EXPECT_NEAR(high, -23.0, 0.1) << c.loud;
    }
}

// The loudness range of two or more steady levels: the distance between them (10, 5, 20 LU), and
// 15 LU for five steps from -50 up to -20 dBFS and down again.
TEST(LoudnessMeter, RangeOfSteppedTonesIsTheirSpread) {
    struct Case {
        std::vector<Tone> parts;
        double lra;
    };
    const std::vector<Case> cases = {
        {{{20, -20}, {20, -30}}, 10},
        {{{20, -20}, {20, -15}}, 5},
        {{{20, -40}, {20, -20}}, 20},
        {{{20, -50}, {20, -35}, {20, -20}, {20, -35}, {20, -50}}, 15},
    };
    for (const Case& c : cases) {
        for (bool bounded : {false, true}) {
            auto m = measured(tones(c.parts, 48000, 2), 48000, 2, dl::kLoudnessRange, bounded);
            ASSERT_TRUE(m);
            EXPECT_NEAR(m->range(), c.lra, 1.0) << c.lra << (bounded ? " bounded" : "");
        }
    }
}

// True peak: sines whose samples miss their crests. At a quarter of the rate with the samples 45
// degrees off the crest, full-scale samples hide a +3 dBTP wave; 0 dBTP waves at 44.1 kHz whose
// samples stay near -3 dBFS; lower tones whose samples nearly reach their peak.
TEST(LoudnessMeter, TruePeakFindsTheCrestsBetweenSamples) {
    struct Case {
        uint32_t rate;
        double hz, phase_deg, dbtp;
    };
    const double full = db(32767.0 / 32768 * std::sqrt(2.0));  // +3.01: samples at full scale
    const std::vector<Case> cases = {
        {48000, 576, 0, -6.0},  {48000, 5760, 0, -6.0},  {48000, 12000, 45, full},
        {48000, 10000, 33, -6.0}, {44100, 11025, 45, 0.0}, {44100, 1000, 10, 0.0},
        {44100, 8000, 17, 0.0},  {44100, 15000, 60, -1.0},
    };
    for (const Case& c : cases) {
        // The sine's crest at c.dbtp: the level given as the wave's, not the samples'.
        const double level = std::min(c.dbtp, db(32767.0 / 32768 * std::sqrt(2.0)));
        const std::vector<int16_t> frames = tones({{2, level, c.hz, c.phase_deg * kPi / 180}}, c.rate, 2);
        auto m = measured(frames, c.rate, 2, dl::kLoudnessTruePeak);
        ASSERT_TRUE(m);
        const double tp = db(m->true_peak());
        EXPECT_GE(tp, c.dbtp - 0.4) << c.rate << " " << c.hz;
        EXPECT_LE(tp, c.dbtp + 0.2) << c.rate << " " << c.hz;
        EXPECT_LE(m->sample_peak(), m->true_peak() + 1e-9);
    }
    // The fs/4 case: every sample is at full scale, the wave 3 dB above it.
    auto m = measured(tones({{1, full, 12000, kPi / 4}}, 48000, 2), 48000, 2, dl::kLoudnessTruePeak);
    ASSERT_TRUE(m);
    EXPECT_NEAR(db(m->sample_peak()), 0.0, 0.01);
}

// Silence reads minus infinity, not a number; a reset starts the measurement again.
TEST(LoudnessMeter, SilenceAndReset) {
    auto m = measured(std::vector<int16_t>(2 * 48000 * 5, 0), 48000, 2, kMsi | dl::kLoudnessRange | dl::kLoudnessTruePeak);
    ASSERT_TRUE(m);
    EXPECT_TRUE(std::isinf(m->integrated()) && m->integrated() < 0);
    EXPECT_TRUE(std::isinf(m->momentary()) && m->momentary() < 0);
    EXPECT_EQ(m->range(), 0.0);
    EXPECT_EQ(m->true_peak(), 0.0);
    const std::vector<int16_t> loud = tones({{20, -10}}, 48000, 2);
    ASSERT_TRUE(m->add(loud.data(), loud.size() / 2));
    EXPECT_NEAR(m->integrated(), -10.0, 0.1);
    ASSERT_TRUE(m->reset());
    EXPECT_TRUE(std::isinf(m->integrated()));
    EXPECT_EQ(m->true_peak(), 0.0);
    const std::vector<int16_t> soft = tones({{20, -30}}, 48000, 2);
    ASSERT_TRUE(m->add(soft.data(), soft.size() / 2));
    EXPECT_NEAR(m->integrated(), -30.0, 0.1);
    // Digital silence after a tone: once the windows hold none of the tone they read silence, not the
    // few thousand negative LUFS that the sums' rounding leaves.
    std::vector<int16_t> then_silence = tones({{1, -10}}, 48000, 2);
    then_silence.resize(then_silence.size() + 2 * 48000 * 5, 0);
    auto faded = measured(then_silence, 48000, 2, kMsi);
    ASSERT_TRUE(faded);
    EXPECT_TRUE(std::isinf(faded->momentary())) << faded->momentary();
    EXPECT_TRUE(std::isinf(faded->short_term())) << faded->short_term();
    EXPECT_NEAR(faded->integrated(), -10.0, 1.0) << "the blocks at the tone's ends hold some silence";
    // Parts not asked for read as nothing.
    auto only_m = measured(loud, 48000, 2, dl::kLoudnessMomentary);
    ASSERT_TRUE(only_m);
    EXPECT_TRUE(std::isinf(only_m->integrated()));
    EXPECT_NEAR(only_m->momentary(), -10.0, 0.1);
}
