// Averaging, holds, weighting and stereo traces on sounds whose spectra we can work out: white and
// pink noise read flat, a sweep's max hold, noise's min hold through a burst, the A and C curves,
// and what each trace of a two-channel sound shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/analyser_fixture.h"
#include "analysis/measured_spectrum.h"
#include "analysis/pipeline.h"
#include "analysis/weighting.h"

namespace dl_test {
namespace {

constexpr double kRate = 44100;
constexpr int kN = 4096;

double Db(double p) { return 10 * std::log10(p); }

class MeasuredSpectrumTest : public AnalyserTest {
protected:
    void SetUp() override {
        AnalyserTest::SetUp();
        params_.fftparam = 12;
        params_.display = dl::kViewLinear;
        use_work_arrays(12);
    }

    // Analyses `samples` (mono 16-bit, or interleaved stereo) in blocks of kN frames every `hop`.
    dl::BlockAnalysis run(const std::vector<int>& samples, int channels, int hop = kN) {
        params_.channel_layout = channels == 2 ? 3 : 1;
        dl::BlockAnalysis a;
        const size_t frames = samples.size() / size_t(channels);
        for (size_t at = 0; at + kN <= frames; at += size_t(hop)) {
            block_ = pcm16(std::vector<int>(samples.begin() + long(at) * channels,
                                            samples.begin() + long(at + kN) * channels));
            a = measure(block_);
        }
        return a;
    }

    // Mean displayed power of lines [from, to) of a trace, in dB.
    static double BandDb(const std::vector<double>& p, int from, int to) {
        double s = 0;
        for (int k = from; k < to; ++k) s += p[size_t(k)];
        return Db(s / (to - from));
    }

    static std::vector<int> WhiteNoise(int count, double sd, unsigned seed) {
        std::mt19937 gen(seed);
        std::normal_distribution<double> n(0, sd);
        std::vector<int> s(static_cast<size_t>(count));
        for (int& v : s) v = std::clamp(int(std::lround(n(gen))), -32768, 32767);
        return s;
    }

    // Pink noise through the refined three-pole-pair filter (flat to 0.05 dB above 10 Hz at 44.1 kHz).
    static std::vector<int> PinkNoise(int count, unsigned seed) {
        std::mt19937 gen(seed);
        std::normal_distribution<double> n(0, 1);
        double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
        std::vector<int> s(static_cast<size_t>(count));
        for (int& v : s) {
            const double w = n(gen);
            b0 = 0.99886 * b0 + w * 0.0555179;
            b1 = 0.99332 * b1 + w * 0.0750759;
            b2 = 0.96900 * b2 + w * 0.1538520;
            b3 = 0.86650 * b3 + w * 0.3104856;
            b4 = 0.55000 * b4 + w * 0.5329522;
            b5 = -0.7616 * b5 - w * 0.0168980;
            const double pink = b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362;
            b6 = w * 0.115926;
            v = std::clamp(int(std::lround(pink * 1500)), -32768, 32767);
        }
        return s;
    }

    static std::vector<int> Tone(int count, double hz, double amplitude) {
        std::vector<int> s(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            s[size_t(i)] = int(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / kRate)));
        return s;
    }

    static std::vector<int> Stereo(const std::vector<int>& left, const std::vector<int>& right) {
        std::vector<int> s;
        for (size_t i = 0; i < left.size(); ++i) {
            s.push_back(left[i]);
            s.push_back(right[i]);
        }
        return s;
    }

    static int Line(double hz) { return int(std::lround(hz * kN / kRate)); }
};

TEST_F(MeasuredSpectrumTest, NoiseAveragesFlatWithinHalfADecibelPerBand) {
    const int ten_seconds = int(10 * kRate);
    struct Case {
        int averaging;
        bool pink;
    };
    for (Case c : {Case{1, false}, Case{2, false}, Case{1, true}, Case{2, true}}) {
        SCOPED_TRACE(testing::Message() << "averaging " << c.averaging << (c.pink ? " pink" : " white"));
        dl::ResetMeasuredSpectrum(*an_);
        params_.averaging = c.averaging;
        params_.average_ms = 1000;
        params_.average_blocks = 32;
        params_.katamuki = c.pink;  // the tilt makes pink noise flat
        const std::vector<int> noise = c.pink ? PinkNoise(ten_seconds, 5) : WhiteNoise(ten_seconds, 3000, 7);
        const dl::BlockAnalysis a = run(noise, 1);
        ASSERT_TRUE(a.spectrum);
        const std::vector<double>& p = an_->traces[0].average;
        // Bands of 64 lines on the linear view; octave bands from 250 Hz for pink noise.
        std::vector<std::pair<int, int>> bands;
        if (c.pink) {
            for (double f = 250; f * 2 < 20000; f *= 2) bands.push_back({Line(f), Line(2 * f)});
        } else {
            for (int k = 64; k + 64 <= kN / 2 - 64; k += 64) bands.push_back({k, k + 64});
        }
        double mean = 0;
        for (auto [f, t] : bands) mean += BandDb(p, f, t);
        mean /= double(bands.size());
        for (auto [f, t] : bands) EXPECT_NEAR(BandDb(p, f, t), mean, 0.5) << "lines " << f << ".." << t;
    }
}

TEST_F(MeasuredSpectrumTest, ExponentialAndInfiniteAveragesReachTheNoiseLevelInPower) {
    // The averages are of powers: white noise of one level reads the same (within its spread)
    // whatever the averaging, where averaging decibels would read 2.5 dB low.
    const std::vector<int> noise = WhiteNoise(int(5 * kRate), 3000, 11);
    std::vector<double> level;
    for (int averaging : {1, 2, 3}) {
        dl::ResetMeasuredSpectrum(*an_);
        params_.averaging = averaging;
        run(noise, 1, kN / 4);
        level.push_back(BandDb(an_->traces[0].average, 64, kN / 2 - 64));
    }
    // Expected: sigma^2 * sum(w^2) / N^2 over full scale, Hann weights summing to 3N/8 in square.
    const double expected = Db(3000.0 * 3000.0 * 0.375 / kN / dl::PowerReference(params_));
    for (double l : level) EXPECT_NEAR(l, expected, 0.3);
}

TEST_F(MeasuredSpectrumTest, MaxHoldKeepsEverySweptFrequency) {
    params_.max_hold = 1;
    const int count = int(10 * kRate);
    std::vector<int> sweep(static_cast<size_t>(count));
    double phase = 0;
    for (int i = 0; i < count; ++i) {
        const double f = 200 + 1800.0 * i / count;
        phase += 2 * std::numbers::pi * f / kRate;
        sweep[size_t(i)] = int(std::lround(16000 * std::sin(phase)));
    }
    const dl::BlockAnalysis a = run(sweep, 1, kN / 4);
    ASSERT_NE(a.max_levels, nullptr);
    const std::vector<double>& held = an_->traces[0].max;
    const double top = Db(*std::max_element(held.begin() + Line(250), held.begin() + Line(1950)));
    for (double f = 250; f <= 1950; f += 10) EXPECT_NEAR(Db(held[size_t(Line(f))]), top, 1.0) << f << " Hz";
    EXPECT_LT(Db(held[size_t(Line(5000))]), top - 40);
    // The held trace's levels are drawn at least as high as the spectrum's.
    for (int k = 0; k < kN / 2; ++k) ASSERT_LE(a.max_levels[k], a.levels[k]) << k;
}

TEST_F(MeasuredSpectrumTest, MinHoldOfNoiseStaysAtTheNoiseThroughABurst) {
    // Averaged over a second, the noise's own spread leaves the minimum a few decibels under its mean.
    params_.averaging = 1;
    params_.average_ms = 1000;
    params_.min_hold = 1;
    std::vector<int> s = WhiteNoise(int(3 * kRate), 1000, 3);
    const std::vector<int> burst = WhiteNoise(int(0.5 * kRate), 30000, 4);
    const std::vector<int> after = WhiteNoise(int(3 * kRate), 1000, 5);
    s.insert(s.end(), burst.begin(), burst.end());
    s.insert(s.end(), after.begin(), after.end());
    const dl::BlockAnalysis a = run(s, 1);
    ASSERT_NE(a.min_levels, nullptr);
    const double noise = Db(1000.0 * 1000.0 * 0.375 / kN / dl::PowerReference(params_));
    for (int k = 64; k + 64 <= kN / 2; k += 64) {
        const double band = BandDb(an_->traces[0].min, k, k + 64);
        EXPECT_LT(band, noise + 0.5) << k;
        EXPECT_GT(band, noise - 6) << k;
    }
}

TEST_F(MeasuredSpectrumTest, HoldTimeLetsAHeldValueGo) {
    params_.max_hold = 1;
    params_.hold_ms = 500;
    std::vector<int> s = Tone(int(1 * kRate), 1000, 16000);
    const std::vector<int> quiet = Tone(int(2 * kRate), 1000, 160);
    s.insert(s.end(), quiet.begin(), quiet.end());
    run(s, 1);
    // 40 dB down for two seconds: the hold has followed it.
    EXPECT_NEAR(Db(an_->traces[0].max[size_t(Line(1000))]),
                Db(an_->traces[0].average[size_t(Line(1000))]), 0.01);
    params_.hold_ms = 0;
    dl::ResetMeasuredSpectrum(*an_);
    run(s, 1);
    EXPECT_GT(Db(an_->traces[0].max[size_t(Line(1000))]),
              Db(an_->traces[0].average[size_t(Line(1000))]) + 35);
}

TEST_F(MeasuredSpectrumTest, WeightingCurvesAtTheBandFrequencies) {
    // The A and C curves in dB at the band frequencies 1000 * 10^(n/10) labelled 31.5, 1k, 4k and 16k,
    // to 0.06 dB: well inside what a precision sound level meter may stray (1.5, 0.7 and 1 dB, and
    // +3.5/-17 dB at 16k).
    struct Row {
        double hz, a, c;
    };
    const double b = 1000, ten = 10;
    for (Row r : {Row{b * std::pow(ten, -1.5), -39.4, -3.0}, Row{b, 0.0, 0.0}, Row{b * std::pow(ten, 0.6), 1.0, -0.8},
                  Row{b * std::pow(ten, 1.2), -6.6, -8.5}}) {
        EXPECT_NEAR(dl::WeightingDecibels(dl::Weighting::A, r.hz), r.a, 0.06) << r.hz;
        EXPECT_NEAR(dl::WeightingDecibels(dl::Weighting::C, r.hz), r.c, 0.06) << r.hz;
        EXPECT_EQ(dl::WeightingDecibels(dl::Weighting::Z, r.hz), 0.0);
    }
}

TEST_F(MeasuredSpectrumTest, WeightingActsOnTheDisplayedSpectrumOnly) {
    // A 4 kHz tone and a 31.5 Hz tone: the A curve lifts one by 1 dB and takes 39.4 dB off the other.
    params_.fftparam = 14;
    use_work_arrays(14);
    const int n = 1 << 14;
    std::vector<int> s = Tone(n, 4000, 8000);
    const std::vector<int> low = Tone(n, 31.5, 8000);
    for (size_t i = 0; i < s.size(); ++i) s[i] += low[i];
    auto peak_db = [&](double hz) {
        const std::vector<double>& p = an_->traces[0].average;
        const int k = int(std::lround(hz * n / kRate));
        return Db(*std::max_element(p.begin() + k - 3, p.begin() + k + 4));
    };
    auto weighted = [&](int weighting) {
        params_.weighting = weighting;
        params_.max_hold = weighting == 0;  // a control on, so the trace is measured
        params_.channel_layout = 1;
        block_ = pcm16(s);
        measure(block_);
        return std::pair{peak_db(4000), peak_db(31.5)};
    };
    const auto [z4k, z31] = weighted(0);
    const auto [a4k, a31] = weighted(1);
    const auto [c4k, c31] = weighted(2);
    EXPECT_NEAR(a4k - z4k, 1.0, 0.2);
    EXPECT_NEAR(a31 - z31, -39.4, 0.5);
    EXPECT_NEAR(c4k - z4k, -0.8, 0.2);
    EXPECT_NEAR(c31 - z31, -3.0, 0.5);
    // The peak read-out stays with the sound itself.
    EXPECT_EQ(an_->peak.bin, int(std::lround(4000.0 * n / kRate)));
}

TEST_F(MeasuredSpectrumTest, LeftAndRightTracesShowEachChannel) {
    params_.traces = 1;
    params_.freqnum = 1;
    const std::vector<int> left = Tone(kN, 440, 12000), right = Tone(kN, 660, 12000);
    const std::vector<int> silent(size_t(kN), 0);
    std::vector<int> l_only = Stereo(left, silent), r_only = Stereo(silent, right);
    std::vector<int> both(l_only.size());
    for (size_t i = 0; i < both.size(); ++i) both[i] = l_only[i] + r_only[i];
    for (int peak_trace : {0, 1}) {
        params_.peak_trace = peak_trace;
        dl::ResetMeasuredSpectrum(*an_);
        const dl::BlockAnalysis a = run(both, 2);
        ASSERT_NE(a.second_levels, nullptr);
        const std::vector<double>& first = an_->traces[0].average;
        const std::vector<double>& second = an_->traces[1].average;
        const int l = Line(440), r = Line(660);
        const std::vector<double>& left_trace = peak_trace ? second : first;
        const std::vector<double>& right_trace = peak_trace ? first : second;
        EXPECT_GT(Db(left_trace[size_t(l)]), Db(left_trace[size_t(r)]) + 60);
        EXPECT_GT(Db(right_trace[size_t(r)]), Db(right_trace[size_t(l)]) + 60);
        EXPECT_NEAR(Db(left_trace[size_t(l)]), Db(right_trace[size_t(r)]), 1.0);
        // The peak list reads the first trace: left, or right when asked.
        ASSERT_FALSE(a.labels.empty());
        EXPECT_EQ(a.labels[0].bin, peak_trace ? r : l);
    }
}

TEST_F(MeasuredSpectrumTest, AnInvertedCopyVanishesInMidAndFillsSide) {
    const std::vector<int> x = Tone(kN, 1000, 12000);
    std::vector<int> minus(x.size());
    for (size_t i = 0; i < x.size(); ++i) minus[i] = -x[i];
    const std::vector<int> s = Stereo(x, minus);
    params_.traces = 2;
    dl::BlockAnalysis a = run(s, 2);
    const int k = Line(1000);
    const std::vector<double>& mid = an_->traces[0].average;
    const std::vector<double>& side = an_->traces[1].average;
    EXPECT_TRUE(std::all_of(mid.begin(), mid.end(), [](double p) { return p == 0; }));
    EXPECT_GT(Db(side[size_t(k)]), -12);
    // Drawn so: the mid trace at its floor, the side trace's tone well above it.
    EXPECT_EQ(a.levels[k], 255);
    EXPECT_LT(a.second_levels[k], 128);
    // The difference, whole: 6 dB above the side signal.
    params_.traces = 3;
    dl::ResetMeasuredSpectrum(*an_);
    a = run(s, 2);
    EXPECT_EQ(a.second_levels, nullptr);
    EXPECT_NEAR(Db(an_->traces[0].average[size_t(k)]) - Db(side[size_t(k)]), 6.02, 0.1);
}

TEST_F(MeasuredSpectrumTest, ControlsOffDrawTheBlocksOwnLevels) {
    const std::vector<int> s = Tone(kN, 1000, 12000);
    dl::BlockAnalysis a = run(s, 1);
    EXPECT_EQ(a.levels, an_->levels.data());
    EXPECT_EQ(a.max_levels, nullptr);
    EXPECT_EQ(a.second_levels, nullptr);
    // A mono source with two traces asked for shows its one signal.
    params_.traces = 1;
    a = run(s, 1);
    EXPECT_EQ(a.second_levels, nullptr);
    for (int k = 0; k < kN / 2; ++k) ASSERT_EQ(a.levels[k], an_->levels[size_t(k)]) << k;
}

}  // namespace
}  // namespace dl_test
