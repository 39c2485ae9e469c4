// The integrated loudness and the loudness range against the loudness library's reading of the
// same sound, both as every value is kept and as counts in classes of 0.1 LU.
#include "analysis/gated_loudness.h"

#include <gtest/gtest.h>

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "analysis/k_weighting.h"

namespace {

struct Library {
    ebur128_state* s;
    Library(int channels, uint32_t rate, bool bounded)
        : s(ebur128_init(unsigned(channels), rate, EBUR128_MODE_I | EBUR128_MODE_LRA | (bounded ? EBUR128_MODE_HISTOGRAM : 0))) {
        if (channels == 5) {
            ebur128_set_channel(s, 3, EBUR128_LEFT_SURROUND);
            ebur128_set_channel(s, 4, EBUR128_RIGHT_SURROUND);
        }
    }
    ~Library() { ebur128_destroy(&s); }
    double integrated() const {
        double v = -HUGE_VAL;
        ebur128_loudness_global(s, &v);
        return v;
    }
    double range() const {
        double v = -1;
        ebur128_loudness_range(s, &v);
        return v;
    }
};

struct Gated {
    dl::KWeighting weighting;
    dl::GatedLoudness gated;
    Gated(int channels, uint32_t rate, bool bounded) : weighting(channels, rate), gated(rate, true, bounded) {}
    void add(const float* frames, size_t count) {
        double energy[512];
        for (size_t at = 0; at < count; at += 512) {
            const size_t n = std::min<size_t>(512, count - at);
            weighting.weigh(frames + at * size_t(weighting.channels()), n, energy);
            ASSERT_TRUE(gated.add(energy, n));
        }
    }
};

// A programme with loud and quiet passages, a pause below the absolute gate, and a swelling
// level, so both gates and both percentiles have something to cut.
std::vector<float> programme(int channels, uint32_t rate, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 1);
    const double seconds = 32;
    const size_t frames = size_t(seconds * rate);
    std::vector<float> out(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        double level = 0.3 * (0.6 + 0.4 * std::sin(2 * M_PI * 0.07 * t));
        if (t > 12 && t < 17) level = 0.002;   // a quiet passage, under the relative gate
        if (t > 22 && t < 25) level = 1e-5;    // a pause, under the absolute gate
        for (int c = 0; c < channels; ++c) {
            const double tone = std::sin(2 * M_PI * (110.0 * (c + 1)) * t);
            out[i * size_t(channels) + size_t(c)] = float(level * (0.7 * tone + 0.2 * noise(random)));
        }
    }
    return out;
}

void ExpectSame(double mine, double library, const char* what, int channels, uint32_t rate, bool bounded) {
    if (std::isinf(library)) {
        EXPECT_TRUE(std::isinf(mine) && mine < 0) << what << ": " << mine;
    } else {
        EXPECT_NEAR(mine, library, 1e-9) << what << ", " << channels << " channels at " << rate << " Hz"
                                         << (bounded ? ", in classes" : "");
    }
}

TEST(GatedLoudness, ReadsAsTheLibraryReadsTheSameProgrammeAsItGoes) {
    for (int channels : {1, 2, 5, 6})
        for (uint32_t rate : {8000u, 44100u})
            for (bool bounded : {false, true}) {
                const std::vector<float> s = programme(channels, rate, unsigned(channels) * rate);
                const size_t frames = s.size() / size_t(channels);
                Gated mine(channels, rate, bounded);
                Library library(channels, rate, bounded);
                // Read at uneven points: before the first block, before the first short-term value, and on.
                for (size_t at = 0, n = 1000; at < frames; at += n, n = n * 7 % 300000 + 9001) {
                    n = std::min(n, frames - at);
                    mine.add(s.data() + at * size_t(channels), n);
                    ebur128_add_frames_float(library.s, s.data() + at * size_t(channels), n);
                    ExpectSame(mine.gated.integrated(), library.integrated(), "integrated", channels, rate, bounded);
                    ExpectSame(mine.gated.range(), library.range(), "range", channels, rate, bounded);
                    if (HasFailure()) return;
                }
                // The programme measured something: the gates were not the whole story.
                EXPECT_GT(mine.gated.integrated(), -40);
                EXPECT_GT(mine.gated.range(), 1);
            }
}

TEST(GatedLoudness, NothingToMeasureAndAResetStartsAgain) {
    dl::GatedLoudness gated(48000, true, false);
    EXPECT_TRUE(std::isinf(gated.integrated()));
    EXPECT_EQ(gated.range(), 0);
    // 399 ms of loud sound make no block yet; one more frame makes the first.
    std::vector<double> energy(48000 * 4, 0.1);
    ASSERT_TRUE(gated.add(energy.data(), 19199));
    EXPECT_TRUE(std::isinf(gated.integrated()));
    ASSERT_TRUE(gated.add(energy.data(), 1));
    EXPECT_NEAR(gated.integrated(), 10 * std::log10(0.1) - 0.691, 1e-9);
    gated.reset();
    EXPECT_TRUE(std::isinf(gated.integrated()));
    // Silence alone passes no gate.
    std::vector<double> silence(48000 * 5, 0.0);
    ASSERT_TRUE(gated.add(silence.data(), silence.size()));
    EXPECT_TRUE(std::isinf(gated.integrated()));
    EXPECT_EQ(gated.range(), 0);
}

}  // namespace
