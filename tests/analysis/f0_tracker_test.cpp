// The fundamental-frequency tracker on sounds whose pitch is known, block after block as playback
// hands them over at the default settings (a 1/5 s slice, 4096-point transform, Hann window).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/analyser.h"
#include "analysis/analyser_fixture.h"
#include "analysis/f0_tracker.h"
#include "analysis/pitch.h"
#include "analysis/pitch_signals.h"

namespace dl_test {
namespace {

using namespace pitch_signals;

// The tracker on (it runs for the tuner and the batch rows) at the default transform.
class TrackerTest : public AnalyserTest {
protected:
    void SetUp() override {
        AnalyserTest::SetUp();
        params_.tuner = 1;
        params_.freqnum = 4;
        params_.fftparam = 12;
        use_work_arrays(12);
    }

    // The blocks of a sound as the playback tick analyses them, one slice each.
    std::vector<dl::BlockAnalysis> blocks(const std::vector<int16_t>& pcm, double rate) {
        params_.sample_rate = uint32_t(rate);
        const size_t slice = size_t(slice_at(rate));
        dl::ResetPitchHistory(*an_);
        std::vector<dl::BlockAnalysis> out;
        for (size_t start = 0; start + slice <= pcm.size(); start += slice) {
            std::vector<int> s(pcm.begin() + long(start), pcm.begin() + long(start + slice));
            out.push_back(measure(pcm16(s)));
        }
        return out;
    }

    // Every block voiced and within `cents` of the truth.
    void expect_steady(const std::vector<int16_t>& pcm, double rate, double truth, double cents, const std::string& what) {
        const std::vector<dl::BlockAnalysis> b = blocks(pcm, rate);
        ASSERT_GE(b.size(), 3u) << what;
        for (size_t i = 0; i < b.size(); ++i) {
            ASSERT_TRUE(b[i].f0_voiced) << what << " block " << i;
            EXPECT_NEAR(cents_off(b[i].f0_frequency, truth), 0, cents) << what << " block " << i;
        }
    }
};

TEST_F(TrackerTest, SteadyTonesWithAWeakOrMissingFundamentalAreNamedWithinACent) {
    for (int note : {-29, -24, -17, -9, -3, 7, 15}) {  // E2, A2, E3, C4, F#4, E5, C6
        const double f0 = note_hz(note);
        for (double fundamental : {0.1, 0.0}) {
            const std::string what = std::to_string(f0) + " Hz, fundamental " + std::to_string(fundamental);
            expect_steady(to_pcm16(harmonic_tone(f0, 44100, 1.2, fundamental)), 44100, f0, 1.0, what);
        }
    }
    // At the other rates as well, and in 8 bits.
    for (double rate : {8000.0, 11025.0, 22050.0, 48000.0}) expect_steady(to_pcm16(harmonic_tone(196, rate, 1.5, 0.1)), rate, 196, 1.0, "G3");
    params_.channel_layout = 0;
    const std::vector<int16_t> loud = to_pcm16(harmonic_tone(330, 11025, 1.5, 1.0));
    std::vector<uint8_t> bytes;  // unsigned, 128 the middle
    for (int16_t v : loud) bytes.push_back(uint8_t(128 + v / 256));
    params_.sample_rate = 11025;
    dl::ResetPitchHistory(*an_);
    bytes.resize(2048);
    const dl::BlockAnalysis a = measure(bytes);
    ASSERT_TRUE(a.f0_voiced);
    EXPECT_NEAR(cents_off(a.f0_frequency, 330), 0, 1.0);
    EXPECT_EQ(a.f0_note, "E4");
}

// A short time slice holds too little of a low note to find its period: below its reach the tracker
// says nothing, never the note its longest lag would name; just above, it reads the note.
TEST_F(TrackerTest, BelowTheSliceReachNothingIsNamed) {
    params_.sample_rate = 44100;
    const size_t slice = 2048;  // deltatime=512: periods up to 1024 samples, 43 Hz
    for (double f0 : {41.2, 36.7, 55.0, 61.7}) {  // E1, D1; A1, B1
        for (double fundamental : {1.0, 0.1}) {
            const std::vector<int16_t> pcm = to_pcm16(harmonic_tone(f0, 44100, 0.5, fundamental));
            dl::ResetPitchHistory(*an_);
            for (size_t start = 0; start + slice <= pcm.size(); start += slice) {
                const dl::BlockAnalysis a =
                    measure(pcm16(std::vector<int>(pcm.begin() + long(start), pcm.begin() + long(start + slice))));
                const std::string what = std::to_string(f0) + " Hz, fundamental " + std::to_string(fundamental);
                if (f0 < 43) {
                    EXPECT_FALSE(a.f0_voiced) << what << " read " << a.f0_frequency;
                } else {
                    ASSERT_TRUE(a.f0_voiced) << what;
                    EXPECT_NEAR(cents_off(a.f0_frequency, f0), 0, 1.0) << what;
                }
            }
        }
    }
}

TEST_F(TrackerTest, PluckedStringsAreNamedWithinACent) {
    for (double rate : {44100.0, 11025.0}) {
        for (int note : {-29, -24, -19, -14, -10, -5, 3, 12}) {  // the guitar's strings E2 .. E4, and A4, A5
            const int delay = int(std::lround(rate / note_hz(note) - 0.5));
            double truth = 0;
            const std::vector<int16_t> pcm = to_pcm16(plucked_string(delay, rate, 1.2, &truth, unsigned(delay)));
            expect_steady(pcm, rate, truth, 1.0, "plucked " + std::to_string(truth) + " at " + std::to_string(rate));
        }
    }
}

TEST_F(TrackerTest, SungVowelsWithVibratoKeepTheirOctave) {
    int voiced = 0, gross = 0, total = 0;
    for (int note = -29; note <= 15; note += 4) {  // E2 to C6
        const double f0 = note_hz(note);
        std::vector<double> pitch;
        const std::vector<int16_t> pcm = to_pcm16(sung_vowel(f0, 44100, 2.0, 30, 6, &pitch));
        const std::vector<dl::BlockAnalysis> b = blocks(pcm, 44100);
        for (const dl::BlockAnalysis& a : b) {
            ++total;
            if (!a.f0_voiced) continue;
            ++voiced;
            // Within the vibrato's swing of the note, never an octave or a fifth off.
            if (octave_or_fifth_error(a.f0_frequency, f0)) ++gross;
            EXPECT_LT(std::fabs(cents_off(a.f0_frequency, f0)), 35) << f0;
        }
    }
    EXPECT_GE(voiced, total * 9 / 10);
    EXPECT_LE(gross * 100, voiced);
}

TEST_F(TrackerTest, TwoOctaveScalesFollowEveryNote) {
    const int major[] = {0, 2, 4, 5, 7, 9, 11, 12, 14, 16, 17, 19, 21, 23, 24};
    for (int tonic : {-29, -9}) {  // E2 to E4, and C4 to C6
        std::vector<double> x, truth;
        for (int step : major) {
            const double f0 = note_hz(tonic + step);
            const std::vector<double> n = harmonic_tone(f0, 44100, 0.6, 0.3);
            x.insert(x.end(), n.begin(), n.end());
            truth.insert(truth.end(), n.size(), f0);
        }
        const std::vector<dl::BlockAnalysis> b = blocks(to_pcm16(x), 44100);
        const size_t slice = 8192;
        int voiced = 0, gross = 0;
        for (size_t i = 0; i < b.size(); ++i) {
            if (!b[i].f0_voiced) continue;
            ++voiced;
            // A block across two notes may read either of them.
            const double first = truth[i * slice], last = truth[std::min(truth.size() - 1, i * slice + 4095)];
            const double off = std::min(std::fabs(cents_off(b[i].f0_frequency, first)),
                                        std::fabs(cents_off(b[i].f0_frequency, last)));
            if (off > 50) ++gross;
        }
        EXPECT_GE(voiced, int(b.size()) * 9 / 10) << tonic;
        EXPECT_EQ(gross, 0) << tonic;
    }
}

TEST_F(TrackerTest, NoiseSilenceAndChordsAreNotVoiced) {
    for (double rate : {11025.0, 44100.0}) {
        for (const dl::BlockAnalysis& a : blocks(to_pcm16(white_noise(rate, 2.0)), rate)) EXPECT_FALSE(a.f0_voiced) << a.f0_frequency;
        for (const dl::BlockAnalysis& a : blocks(std::vector<int16_t>(size_t(rate * 2), 0), rate)) EXPECT_FALSE(a.f0_voiced);
    }
    // C4, E4 and G4, equally tempered: no common period the tracker could name.
    std::vector<double> chord = harmonic_tone(note_hz(-9), 44100, 2.0, 1.0, 6);
    for (int note : {-5, -2}) {
        const std::vector<double> t = harmonic_tone(note_hz(note), 44100, 2.0, 1.0, 6);
        for (size_t i = 0; i < chord.size(); ++i) chord[i] += t[i];
    }
    int voiced = 0;
    const std::vector<dl::BlockAnalysis> b = blocks(to_pcm16(chord), 44100);
    for (const dl::BlockAnalysis& a : b) voiced += a.f0_voiced;
    EXPECT_EQ(voiced, 0);
    // G3, B3 and D4 lie near the fourth, fifth and sixth multiples of G1, whose harmonics at this
    // transform lie too close to be read one by one: the common root is not a note either.
    for (int root : {-26, -14}) {  // G2, G3
        std::vector<double> triad = harmonic_tone(note_hz(root), 44100, 2.0, 1.0);
        for (int step : {4, 7}) {
            const std::vector<double> t = harmonic_tone(note_hz(root + step), 44100, 2.0, 1.0);
            for (size_t i = 0; i < triad.size(); ++i) triad[i] += t[i];
        }
        for (const dl::BlockAnalysis& a : blocks(to_pcm16(triad), 44100))
            EXPECT_FALSE(a.f0_voiced) << "triad on " << note_hz(root) << " Hz read " << a.f0_frequency;
    }
}

TEST_F(TrackerTest, NamesFollowTheReferenceAndAStartForgetsTheLastNote) {
    params_.reference_a4 = 4420;
    std::vector<dl::BlockAnalysis> b = blocks(to_pcm16(harmonic_tone(442, 44100, 0.6, 1.0)), 44100);
    ASSERT_FALSE(b.empty());
    ASSERT_TRUE(b[0].f0_voiced);
    EXPECT_EQ(b[0].f0_note, "A4");
    EXPECT_NEAR(b[0].f0_cents, 0, 0.1);
    params_.reference_a4 = 4150;  // baroque: 442 Hz is more than a semitone up
    b = blocks(to_pcm16(harmonic_tone(442, 44100, 0.6, 1.0)), 44100);
    EXPECT_EQ(b[0].f0_note, "Bb4");
    EXPECT_NEAR(b[0].f0_cents, 1200 * std::log2(442 / (415 * std::pow(2, 1 / 12.0))), 0.1);
    EXPECT_TRUE(an_->fundamental.voiced);
    dl::ResetPitchHistory(*an_);
    EXPECT_FALSE(an_->fundamental.voiced);
}

}  // namespace
}  // namespace dl_test
