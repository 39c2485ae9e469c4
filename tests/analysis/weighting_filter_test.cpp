// The weighting as a filter on the meter's samples: its response against the curves, and the
// meter strip reading through it while the loudness does not.
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/analyser_fixture.h"
#include "analysis/meter_strip.h"
#include "analysis/weighting.h"

namespace dl_test {
namespace {

// The filter's gain in dB for a sine at `hz`, once it has settled.
double filtered_gain(dl::Weighting w, double rate, double hz) {
    dl::WeightingFilter f;
    f.design(w, rate);
    const int settle = int(rate), count = int(rate / 2);
    std::vector<int16_t> in(size_t(settle + count)), out(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = int16_t(std::lround(10000 * std::sin(2 * std::numbers::pi * hz * double(i) / rate)));
    f.run(in.data(), out.data(), in.size(), 1);
    double pin = 0, pout = 0;
    for (size_t i = size_t(settle); i < in.size(); ++i) {
        pin += double(in[i]) * in[i];
        pout += double(out[i]) * out[i];
    }
    return 10 * std::log10(pout / pin);
}

TEST(WeightingFilter, FollowsTheCurvesWithinTheClassOneTolerances) {
    for (double rate : {44100.0, 48000.0}) {
        for (dl::Weighting w : {dl::Weighting::A, dl::Weighting::C}) {
            // Within half the class 1 tolerances up to 10 kHz (31.5 Hz ±1.5 dB, 100 Hz ±1.0,
            // 1 kHz ±0.7, 4 kHz ±1.0, 10 kHz +2.0/-3.0), and inside them at 16 kHz (+3.5/-17).
            struct Point {
                double hz, tolerance;
            };
            for (const Point p : {Point{31.5, 0.75}, {100, 0.5}, {1000, 0.35}, {4000, 0.5}, {10000, 1.0}}) {
                const double want = dl::WeightingDecibels(w, p.hz);
                EXPECT_NEAR(filtered_gain(w, rate, p.hz), want, p.tolerance)
                    << "rate " << rate << " weighting " << int(w) << " at " << p.hz << " Hz";
            }
            const double high = filtered_gain(w, rate, 16000.0) - dl::WeightingDecibels(w, 16000.0);
            EXPECT_LT(high, 3.5) << rate;
            EXPECT_GT(high, -17.0) << rate;
        }
    }
    // Z passes the samples as they are.
    EXPECT_NEAR(filtered_gain(dl::Weighting::Z, 44100, 50), 0.0, 1e-9);
}

TEST(WeightingFilter, SilenceAfterSoundDecaysToZeroAndAResetForgets) {
    dl::WeightingFilter f;
    f.design(dl::Weighting::A, 44100);
    std::vector<int16_t> loud(4410, 30000), out(4410);
    f.run(loud.data(), out.data(), loud.size(), 1);
    std::vector<int16_t> quiet(44100, 0), after(44100, 1);
    f.run(quiet.data(), after.data(), quiet.size(), 1);
    EXPECT_EQ(after.back(), 0);
    f.run(loud.data(), out.data(), 1, 1);
    f.reset();
    f.run(quiet.data(), after.data(), 1, 1);
    EXPECT_EQ(after[0], 0);
}

class WeightedMeterTest : public AnalyserTest {
protected:
    // The strip's RMS and the momentary loudness of the left channel after two seconds of a
    // stereo sine at `hz` (-10 dBFS), with the meter weighted or not.
    std::pair<double, double> read(double hz, int weighting, int meter_weighting) {
        dl::ResetMeterStrip(an_->meters);
        params_.level_meter = dl::kMeterStripLoudness;
        params_.weighting = weighting;
        params_.meter_weighting = meter_weighting;
        params_.channel_layout = 3;
        params_.sample_rate = 44100;
        dl::MeterStripReading r;
        const double a = std::pow(10.0, -0.5) * 32767;
        for (int block = 0, t = 0; block < 22; ++block) {
            std::vector<int> s;
            for (int i = 0; i < 4096; ++i, ++t) {
                const int v = int(std::lround(a * std::sin(2 * std::numbers::pi * hz * t / 44100)));
                s.insert(s.end(), {v, v});
            }
            const std::vector<uint8_t> data = pcm16(s);
            dl::MeterBlock(params_, an_->meters, data.data(), uint32_t(data.size()), dl::kBlockFollows, r);
        }
        weighting_shown_ = r.weighting;
        return {r.channel[0].rms, r.loudness.momentary};
    }
    int weighting_shown_ = -1;
};

TEST_F(WeightedMeterTest, TheBarsReadWeightedAndTheLoudnessDoesNot) {
    const auto [plain_rms, plain_lufs] = read(100, 1, 0);
    EXPECT_EQ(weighting_shown_, 0);
    const auto [a_rms, a_lufs] = read(100, 1, 1);
    EXPECT_EQ(weighting_shown_, 1);  // the strip's scale says dBA
    // The RMS figure reads a sine at its peak level; A weighting takes 19.1 dB off at 100 Hz.
    EXPECT_NEAR(plain_rms, -10.0, 0.2);
    EXPECT_NEAR(a_rms - plain_rms, dl::WeightingDecibels(dl::Weighting::A, 100), 0.3);
    EXPECT_NEAR(a_lufs, plain_lufs, 0.01);
    // The meter's weighting follows the spectrum's: with Z chosen it reads as it always did.
    const auto [z_rms, z_lufs] = read(100, 0, 1);
    EXPECT_DOUBLE_EQ(z_rms, plain_rms);
    EXPECT_EQ(weighting_shown_, 0);
    const auto [c_rms, c_lufs] = read(100, 2, 1);
    EXPECT_NEAR(c_rms - plain_rms, dl::WeightingDecibels(dl::Weighting::C, 100), 0.3);
}

}  // namespace
}  // namespace dl_test
