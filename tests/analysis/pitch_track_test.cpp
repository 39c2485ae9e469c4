// The pitch on a hop of its own: a frame every 10 ms of sound at any rate, each read around its
// time, the same however the sound is handed over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/pitch_signals.h"
#include "analysis/pitch_track.h"

namespace dl_test {
namespace {

using namespace pitch_signals;

constexpr int kHann = 0;

std::vector<dl::PitchFrame> frames_of(const std::vector<float>& x, double rate, size_t run = 0) {
    dl::PitchTrack track(rate, kHann, 4400);
    std::vector<dl::PitchFrame> frames;
    if (run == 0) run = x.size();
    for (size_t at = 0; at < x.size(); at += run) track.add(x.data() + at, std::min(run, x.size() - at), frames);
    track.finish(frames);
    return frames;
}

// A harmonic tone gliding from f0 to f1 (exponentially) over its length; truth at time t.
std::vector<double> glide(double f0, double f1, double rate, double seconds) {
    std::vector<double> x(size_t(rate * seconds));
    const double k = std::log(f1 / f0) / seconds;
    for (int h = 1; h <= 6 && h * f1 < 0.45 * rate; ++h) {
        double phase = 0.7 * h * h;
        for (size_t i = 0; i < x.size(); ++i) {
            const double t = double(i) / rate;
            x[i] += std::sin(phase) / h;
            phase += 2 * kPi * h * f0 * std::exp(k * t) / rate;
        }
    }
    return x;
}

// Share of the frames between `from` and `to` s voiced and within `cents` of `truth`.
double share_right(const std::vector<dl::PitchFrame>& frames, double truth, double from, double to, double cents) {
    int inside = 0, right = 0;
    for (const dl::PitchFrame& f : frames) {
        if (f.time < from || f.time > to) continue;
        ++inside;
        if (f.voiced && std::fabs(cents_off(f.frequency, truth)) < cents) ++right;
    }
    return inside ? double(right) / inside : 0.0;
}

TEST(PitchTrack, AFrameEvery10MsAtEveryRateFollowsAGlide) {
    for (double rate : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0}) {
        const double seconds = 1.5, f0 = 110, f1 = 440;
        const std::vector<dl::PitchFrame> frames = frames_of(to_floats(glide(f0, f1, rate, seconds)), rate);
        const std::string what = "rate " + std::to_string(rate);
        // Frames at 0, 10 ms, ... up to the sound's end, each at its own time.
        ASSERT_EQ(frames.size(), size_t(std::ceil(seconds / 0.01 - 1e-9))) << what;
        for (size_t k = 0; k < frames.size(); ++k) ASSERT_DOUBLE_EQ(frames[k].time, 0.01 * double(k)) << what;
        int inside = 0, right = 0;
        for (const dl::PitchFrame& f : frames) {
            // Frames whose samples lie wholly in the sound.
            if (f.time < 0.05 || f.time > seconds - 0.05) continue;
            ++inside;
            const double truth = f0 * std::exp(std::log(f1 / f0) * f.time / seconds);
            if (f.voiced && std::fabs(cents_off(f.frequency, truth)) < 50) ++right;
        }
        EXPECT_GE(right, inside * 98 / 100) << what << ": " << right << " of " << inside;
    }
}

TEST(PitchTrack, TheFramesDoNotDependOnHowTheSoundIsHandedOver) {
    const double rate = 22050;
    const std::vector<float> x = to_floats(sung_vowel(196, rate, 1.0, 40, 5.5));
    const std::vector<dl::PitchFrame> whole = frames_of(x, rate);
    for (size_t run : {1u, 97u, 4096u}) {
        const std::vector<dl::PitchFrame> parts = frames_of(x, rate, run);
        ASSERT_EQ(parts.size(), whole.size()) << run;
        for (size_t k = 0; k < whole.size(); ++k) {
            EXPECT_EQ(parts[k].voiced, whole[k].voiced) << run << " frame " << k;
            EXPECT_EQ(parts[k].frequency, whole[k].frequency) << run << " frame " << k;
        }
    }
}

TEST(PitchTrack, SilenceAndNoiseAreNotVoicedAndATuneIsNamed) {
    const double rate = 44100;
    for (const std::vector<float>& x : {std::vector<float>(size_t(rate), 0.0f), to_floats(white_noise(rate, 1.0))}) {
        for (const dl::PitchFrame& f : frames_of(x, rate)) EXPECT_FALSE(f.voiced) << f.time;
    }
    // A4 then silence: named A4 while it sounds, nothing long after it ends.
    std::vector<double> a4 = harmonic_tone(440, rate, 0.5, 1.0);
    a4.resize(size_t(rate), 0.0);
    const std::vector<dl::PitchFrame> frames = frames_of(to_floats(a4), rate);
    for (const dl::PitchFrame& f : frames) {
        if (f.time > 0.05 && f.time < 0.45) {
            ASSERT_TRUE(f.voiced) << f.time;
            EXPECT_EQ(f.note, "A4") << f.time;
            EXPECT_NEAR(f.cents, 0, 1) << f.time;
        }
        if (f.time > 0.6) {
            EXPECT_FALSE(f.voiced) << f.time;
        }
    }
    // No sound gives no frame; samples that are not numbers (a damaged float file) name nothing
    // around them, and the tone after them is named again.
    EXPECT_TRUE(frames_of({}, rate).empty());
    std::vector<float> damaged = to_floats(harmonic_tone(440, rate, 1.0, 1.0));
    for (size_t i = 0; i < damaged.size() / 2; i += 7) damaged[i] = i % 2 ? NAN : INFINITY;
    const std::vector<dl::PitchFrame> after = frames_of(damaged, rate);
    for (const dl::PitchFrame& f : after) {
        if (f.time < 0.45) {
            EXPECT_FALSE(f.voiced) << f.time;
        }
    }
    EXPECT_GE(share_right(after, 440, 0.6, 0.95, 5), 0.99);
}

TEST(PitchTrack, AVowelInNoiseAsStrongAsItselfIsStillNamedAndNoiseAloneIsNot) {
    const double rate = 44100;
    for (int note : {-21, -9, 3}) {  // C3, C4, C5
        const double f0 = note_hz(note);
        for (double snr : {10.0, 3.0, 0.0}) {
            const std::vector<double> x = with_noise(sung_vowel(f0, rate, 1.0, 0, 5.5), rate, snr, unsigned(note + 50));
            EXPECT_GE(share_right(frames_of(to_floats(x), rate), f0, 0.05, 0.95, 50), 0.95)
                << f0 << " Hz at " << snr << " dB";
        }
    }
    // The same noise louder, alone: nothing.
    for (const dl::PitchFrame& f : frames_of(to_floats(white_noise(rate, 2.0, 3), 0.9), rate)) EXPECT_FALSE(f.voiced) << f.time;
}

TEST(PitchTrack, ThePianosEndsAndADecayingLowStringHoldTheirNote) {
    const double rate = 48000;
    for (int note : {-48, -41, 27, 39}) {  // A0, E1, C7, C8
        const double f0 = note_hz(note);
        EXPECT_GE(share_right(frames_of(to_floats(harmonic_tone(f0, rate, 1.0, 0.5)), rate), f0, 0.05, 0.95, 5), 0.99)
            << f0 << " Hz";
    }
    // An E2 string ringing 3 s as its upper partials die: never an octave off.
    double pitch = 0;
    const std::vector<double> string = plucked_string(int(std::lround(rate / note_hz(-29) - 0.5)), rate, 4.0, &pitch, 5, 3.0);
    const std::vector<dl::PitchFrame> frames = frames_of(to_floats(string), rate);
    EXPECT_GE(share_right(frames, pitch, 0.05, 3.9, 50), 0.99);
    for (const dl::PitchFrame& f : frames) {
        if (f.voiced) {
            EXPECT_LT(std::fabs(cents_off(f.frequency, pitch)), 50) << f.time;
        }
    }
}

TEST(PitchTrack, AStiffStringIsReadAtItsFirstPartialWithItsInharmonicity) {
    const double rate = 44100;
    for (double partial1 : {110.0, 220.0}) {
        const std::vector<dl::PitchFrame> frames = frames_of(to_floats(stiff_string(partial1, 0.0004, rate, 1.0)), rate);
        EXPECT_GE(share_right(frames, partial1, 0.05, 0.95, 1), 0.99) << partial1;
        for (const dl::PitchFrame& f : frames) {
            if (f.time < 0.05 || f.time > 0.95 || !f.voiced) continue;
            EXPECT_NEAR(f.inharmonicity, 0.0004, 0.00004) << partial1 << " Hz at " << f.time;
        }
    }
    // A harmonic tone has none.
    for (const dl::PitchFrame& f : frames_of(to_floats(harmonic_tone(110, rate, 1.0, 1.0)), rate)) EXPECT_EQ(f.inharmonicity, 0) << f.time;

    // Once the upper partials have died away the string is still the same string: its first partial
    // and B stay where they were, not the sharper mean of the two partials left.
    const std::vector<dl::PitchFrame> frames = frames_of(to_floats(stiff_string(110, 0.0004, rate, 2.0, 12)), rate);
    int late = 0;
    for (const dl::PitchFrame& f : frames) {
        if (f.time < 1.2 || f.time > 1.9) continue;
        ++late;
        ASSERT_TRUE(f.voiced) << f.time;
        EXPECT_NEAR(cents_off(f.frequency, 110), 0, 0.3) << f.time;
        EXPECT_NEAR(f.inharmonicity, 0.0004, 0.00004) << f.time;
    }
    EXPECT_GT(late, 60);
}

// A vibrato of 50 cents at 5.5 Hz is followed through its swing: a frame of the whole 78 ms read
// it 4.3 cents off on average and 6.7 at the 95th percentile (its swing flattened to 44 cents); a
// steady note is still read from the whole frame, as finely as before.
TEST(PitchTrack, AVibratoIsFollowedThroughItsSwingAndASteadyNoteStaysFine) {
    const double rate = 44100, f0 = 196, seconds = 3;
    std::vector<double> x(size_t(rate * seconds));
    double phase = 0;
    auto pitch = [&](double t) { return f0 * std::pow(2.0, 50.0 / 1200 * std::sin(2 * kPi * 5.5 * t)); };
    for (size_t i = 0; i < x.size(); ++i) {
        for (int h = 1; h <= 10; ++h) x[i] += std::sin(h * phase + 0.3 * h) / h;
        phase += 2 * kPi * pitch(double(i) / rate) / rate;
    }
    std::vector<double> off;
    for (const dl::PitchFrame& f : frames_of(to_floats(x), rate)) {
        if (f.time < 0.1 || f.time > seconds - 0.1) continue;
        ASSERT_TRUE(f.voiced) << f.time;
        off.push_back(std::fabs(cents_off(f.frequency, pitch(f.time))));
    }
    ASSERT_GT(off.size(), 250u);
    std::sort(off.begin(), off.end());
    double mean = 0;
    for (double v : off) mean += v / double(off.size());
    EXPECT_LT(mean, 2.5);
    EXPECT_LT(off[off.size() * 95 / 100], 4.0);

    // A steady tone: frame to frame within a few hundredths of a cent.
    const std::vector<dl::PitchFrame> steady = frames_of(to_floats(harmonic_tone(f0, rate, 1.0, 1.0)), rate);
    for (size_t k = 1; k < steady.size(); ++k) {
        if (steady[k - 1].time < 0.1 || steady[k].time > 0.9) continue;
        EXPECT_LT(std::fabs(cents_off(steady[k].frequency, steady[k - 1].frequency)), 0.1) << steady[k].time;
    }
}

// A reed whose second partial towers over the first and third (a bassoon's Bb3: both 20-25 dB
// below it) is read at its own pitch from its first frames, not an octave up until something turns
// it round; a tone whose odd partials are only a little above the noise floor, or absent, is not
// pulled down.
TEST(PitchTrack, AWeakFirstPartialUnderAStrongSecondIsStillTheNote) {
    const double rate = 44100, f0 = 233.08;
    const double amplitude[] = {0.06, 1.0, 0.07, 0.3, 0.02, 0.1};
    std::vector<double> x(size_t(rate * 1.0));
    for (int h = 1; h <= 6; ++h)
        for (size_t i = 0; i < x.size(); ++i) x[i] += amplitude[h - 1] * std::sin(2 * kPi * h * f0 * double(i) / rate + 0.7 * h * h);
    EXPECT_GE(share_right(frames_of(to_floats(x), rate), f0, 0.05, 0.95, 50), 0.98);
    // Only the even partials: the note an octave up.
    std::vector<double> even(x.size());
    for (int h = 2; h <= 6; h += 2)
        for (size_t i = 0; i < x.size(); ++i) even[i] += amplitude[h - 1] * std::sin(2 * kPi * h * f0 * double(i) / rate + 0.7 * h * h);
    EXPECT_GE(share_right(frames_of(to_floats(even), rate), 2 * f0, 0.05, 0.95, 50), 0.98);
    // The same with the odd partials 40 dB down, as faint as a recording's hum and hiss: still up.
    std::vector<double> faint = even;
    for (int h = 1; h <= 5; h += 2)
        for (size_t i = 0; i < x.size(); ++i) faint[i] += 0.01 * amplitude[h - 1] * std::sin(2 * kPi * h * f0 * double(i) / rate);
    EXPECT_GE(share_right(frames_of(to_floats(with_noise(faint, rate, 40, 3)), rate), 2 * f0, 0.05, 0.95, 50), 0.98);
}

}  // namespace
}  // namespace dl_test
