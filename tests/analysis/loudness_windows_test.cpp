// The momentary and short-term windows against the loudness library's own reading of the same
// sound, read after every block as the rows read them.
#include "analysis/loudness_windows.h"

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
    Library(int channels, uint32_t rate) : s(ebur128_init(unsigned(channels), rate, EBUR128_MODE_S)) {
        if (channels == 5) {
            ebur128_set_channel(s, 3, EBUR128_LEFT_SURROUND);
            ebur128_set_channel(s, 4, EBUR128_RIGHT_SURROUND);
        }
    }
    ~Library() { ebur128_destroy(&s); }
    double read(int (*get)(ebur128_state*, double*)) const {
        double v = -HUGE_VAL;
        get(s, &v);
        return v;
    }
};

// The windows fed as the meter feeds them: the sound weighed a piece at a time.
struct Windows {
    dl::KWeighting weighting;
    dl::LoudnessWindows windows;
    Windows(int channels, uint32_t rate, bool short_term) : weighting(channels, rate), windows(rate, short_term) {}
    template <class Sample>
    void add(const Sample* frames, size_t count) {
        double energy[512];
        for (size_t at = 0; at < count; at += 512) {
            const size_t n = std::min<size_t>(512, count - at);
            weighting.weigh(frames + at * size_t(weighting.channels()), n, energy);
            windows.add(energy, n);
        }
    }
    void reset() {
        weighting.reset();
        windows.reset();
    }
    double momentary() const { return windows.momentary(); }
    double short_term() const { return windows.short_term(); }
};

// Music-like sound: tones with a swelling level over noise, then a stretch of digital silence.
std::vector<float> sound(int channels, uint32_t rate, double seconds, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 0.05);
    const size_t frames = size_t(seconds * rate);
    std::vector<float> out(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double swell = 0.5 + 0.5 * std::sin(2 * M_PI * 0.3 * t);
        for (int c = 0; c < channels; ++c) {
            double v = swell * (0.4 * std::sin(2 * M_PI * (220.0 * (c + 1)) * t) + noise(random));
            if (t > seconds * 0.7) v = 0;  // the end is silence
            out[i * size_t(channels) + size_t(c)] = float(v);
        }
    }
    return out;
}

void ExpectSameLoudness(double mine, double library, const char* what, size_t at) {
    if (std::isinf(library) || library < -200) {
        EXPECT_TRUE(std::isinf(mine) && mine < 0) << what << " at frame " << at << ": " << mine;
    } else {
        // Far below anything audible, in a filter's ringing after the sound stopped, the two
        // filters' roundings (the same sums in another order) part by more than at sound levels.
        EXPECT_NEAR(mine, library, library > -120 ? 1e-9 : 1e-6) << what << " at frame " << at;
    }
}

TEST(LoudnessWindows, ReadAsTheLibraryReadsTheSameSoundAfterEveryBlock) {
    for (int channels : {1, 2, 5, 6})
        for (uint32_t rate : {8000u, 44100u, 48000u}) {
            const std::vector<float> s = sound(channels, rate, 8.0, unsigned(channels) * rate);
            const size_t frames = s.size() / size_t(channels);
            Windows mine(channels, rate, true);
            Library library(channels, rate);
            // Blocks of odd lengths, so reads fall anywhere against the runs.
            for (size_t at = 0, n = 1; at < frames; at += n, n = (n * 7 + 333) % 5000 + 1) {
                n = std::min(n, frames - at);
                mine.add(s.data() + at * size_t(channels), n);
                ebur128_add_frames_float(library.s, s.data() + at * size_t(channels), n);
                ExpectSameLoudness(mine.momentary(), library.read(ebur128_loudness_momentary), "momentary", at + n);
                ExpectSameLoudness(mine.short_term(), library.read(ebur128_loudness_shortterm), "short-term", at + n);
                if (HasFailure()) return;
            }
        }
}

TEST(LoudnessWindows, SixteenBitSamplesAsTheLibraryScalesThemAndAResetStartsAgain) {
    std::vector<int16_t> s(2 * 48000 * 4);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> level(-20000, 20000);
    for (int16_t& v : s) v = int16_t(level(random));
    Windows mine(2, 48000, true);
    Library library(2, 48000);
    for (size_t at = 0; at < s.size() / 2; at += 4800) {
        mine.add(s.data() + 2 * at, 4800);
        ebur128_add_frames_short(library.s, s.data() + 2 * at, 4800);
        ExpectSameLoudness(mine.momentary(), library.read(ebur128_loudness_momentary), "momentary", at);
        ExpectSameLoudness(mine.short_term(), library.read(ebur128_loudness_shortterm), "short-term", at);
    }
    mine.reset();
    EXPECT_TRUE(std::isinf(mine.momentary()));
    EXPECT_TRUE(std::isinf(mine.short_term()));
    // 100 ms of the loud sound: the rest of the 400 ms counts as silence, 6 dB down from a full window.
    mine.add(s.data(), 4800);
    const double tenth = mine.momentary();
    mine.add(s.data() + 2 * 4800, 3 * 4800);
    EXPECT_NEAR(mine.momentary() - tenth, 10 * std::log10(4.0), 0.3);
}

TEST(LoudnessWindows, OnlyTheMomentaryWindowWhenTheShortTermIsNotAsked) {
    Windows mine(1, 44100, false);
    const std::vector<float> s = sound(1, 44100, 10.0, 9);
    mine.add(s.data(), 44100 * 4);  // four seconds of sound, before the silence
    EXPECT_GT(mine.momentary(), -40.0);
    EXPECT_TRUE(std::isinf(mine.short_term()));
}

}  // namespace
