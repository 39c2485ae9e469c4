// The precise estimator through the tick's own windowing and transform: tones between the lines for
// every window, transform size, block length and rate; crowded peaks; the list it labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "analysis/analyser_fixture.h"
#include "analysis/note_names.h"
#include "analysis/pipeline.h"
#include "analysis/pitch.h"
#include "analysis/precise_peak.h"

namespace dl_test {
namespace {

class PrecisePeakTest : public AnalyserTest {
protected:
    void SetUp() override {
        AnalyserTest::SetUp();
        params_.precise_peaks = 1;
        params_.freqnum = 0;
    }
    // The analysis of a block of `count` 16-bit samples of tones (frequency, amplitude) at `rate`.
    dl::BlockAnalysis analyse(int p, int count, double rate, const std::vector<std::pair<double, double>>& tones) {
        params_.fftparam = p;
        use_work_arrays(p);
        params_.sample_rate = uint32_t(rate);
        std::vector<int> s(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            double v = 0;
            for (auto [f, a] : tones) v += a * std::sin(2 * std::numbers::pi * f * i / rate + 0.4);
            s[size_t(i)] = int(std::lround(v));
        }
        block_ = pcm16(s);
        return measure(block_);
    }
};

TEST_F(PrecisePeakTest, EveryWindowReadsAToneBetweenTheLines) {
    // Whole transforms, zero-padded ones (half, and an odd length), low in the spectrum where the
    // tone's mirror image leans on it, and next to the half-rate line.
    for (int p : {8, 12, 16}) {
        const int n = 1 << p;
        for (int type = 0; type < 8; ++type) {
            params_.mado = type;
            for (int count : {n, n / 2, 3 * n / 4 + 1}) {
                const double lobe = dl::MainLobeLines(an_->precise, n, count, type);
                for (double place : {n / 8 + 0.37, 3 * lobe + 0.81, n / 2 - 2 * lobe - 0.29}) {
                    for (double rate : {8000.0, 48000.0}) {
                        const double f = place * rate / n;
                        const dl::BlockAnalysis a = analyse(p, count, rate, {{f, 12000}});
                        ASSERT_TRUE(a.peak_shown);
                        EXPECT_NEAR(a.peak_frequency * n / rate, place, 2e-3)
                            << "window " << type << " N " << n << " samples " << count << " rate " << rate;
                    }
                }
            }
        }
    }
}

TEST_F(PrecisePeakTest, AToneInNoiseStaysNearTheBound) {
    // 20 dB SNR, N 4096, Hann: the Cramer-Rao bound is 0.0015 line; twenty blocks stay within a few.
    std::mt19937 gen(3);
    std::normal_distribution<double> noise(0, 12000 / std::sqrt(200.0));
    params_.fftparam = 12;
    use_work_arrays(12);
    params_.sample_rate = 48000;
    const double place = 300.43, f = place * 48000 / 4096;
    double worst = 0;
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<int> s(4096);
        for (int i = 0; i < 4096; ++i)
            s[size_t(i)] = int(std::lround(12000 * std::sin(2 * std::numbers::pi * f * i / 48000 + trial) + noise(gen)));
        block_ = pcm16(s);
        const dl::BlockAnalysis& a = measure(block_);
        worst = std::max(worst, std::fabs(a.peak_frequency * 4096 / 48000 - place));
    }
    EXPECT_LT(worst, 0.01);
}

TEST_F(PrecisePeakTest, APeakWithANeighbourInItsMainLobeStaysAtItsLine) {
    // Hann over the whole transform: the main lobe reaches two lines either way.
    params_.mado = 0;
    const int n = 4096;
    use_work_arrays(12);
    for (double apart : {1.3, 1.7}) {
        const dl::BlockAnalysis a = analyse(12, n, n, {{500.3, 12000}, {500.3 + apart, 12000}});
        ASSERT_TRUE(a.peak_shown);
        const dl::PreciseLine read = dl::PrecisePeakLine(an_->precise, an_->work.re, an_->work.im, n, an_->peak.bin, n, 0);
        // Either one tone was read where the two merge, or the line itself: never thrown away.
        EXPECT_LE(std::fabs(read.line - an_->peak.bin), 1.0) << apart;
        EXPECT_GT(read.line, 500.3 - 0.5);
        EXPECT_LT(read.line, 500.3 + apart + 0.5);
    }
    // Two tones with separate maxima inside each other's main lobes: each is its line.
    analyse(12, n, n, {{500.5, 12000}, {502.4, 9000}});
    const dl::PreciseLine read = dl::PrecisePeakLine(an_->precise, an_->work.re, an_->work.im, n, an_->peak.bin, n, 0);
    if (!read.fitted) {
        EXPECT_EQ(read.line, an_->peak.bin);
    }
    EXPECT_LE(std::fabs(read.line - 500.5), 1.0);
    // Four lobes apart the fit narrows to the lines clear of the other and reads both well.
    const dl::BlockAnalysis far = analyse(12, n, n, {{500.3, 12000}, {509.0, 9000}});
    EXPECT_NEAR(far.peak_frequency, 500.3, 0.02);
}

// A block whose mean outweighs its tone (speech through a coupling with an offset): the precise mode's
// "Peak" is the tone, never the DC line or its lobe, as the list's first label is.
TEST_F(PrecisePeakTest, TheMeanIsNeverThePeak) {
    for (int type : {0, 4, 6}) {
        params_.mado = type;
        const dl::BlockAnalysis a = analyse(12, 4096, 44100, {{0.0, 20000}, {440.0, 2000}});
        ASSERT_TRUE(a.peak_shown);
        EXPECT_NEAR(a.peak_frequency, 440.0, 0.5) << "window " << type;
    }
    // A short block under a wide window: a low tone is still the peak where no mean outweighs it.
    params_.mado = 6;
    const dl::BlockAnalysis short_block = analyse(8, 256, 22050, {{440.0, 2000}});
    EXPECT_NEAR(short_block.peak_frequency, 440.0, 2.0);
    // The list still starts from the strongest line and passes over the mean.
    params_.mado = 0;
    params_.freqnum = 4;
    const dl::BlockAnalysis listed = analyse(12, 4096, 44100, {{0.0, 20000}, {440.0, 2000}});
    ASSERT_FALSE(listed.labels.empty());
    EXPECT_NEAR(listed.labels[0].frequency, 440.0, 0.5);
    EXPECT_NEAR(listed.peak_frequency, 440.0, 0.5);
}

TEST_F(PrecisePeakTest, TheListHoldsTonesOnlyAndTheOldListsStayAsTheyWere) {
    // The rectangular window between two lines: its side lobes are maxima of their own.
    params_.mado = 4;
    params_.freqnum = 8;
    dl::BlockAnalysis a = analyse(12, 4096, 4096, {{1000.5, 12000}, {1800.5, 120}});
    ASSERT_EQ(a.labels.size(), 2u);
    EXPECT_NEAR(a.labels[0].frequency, 1000.5, 0.01);
    EXPECT_NEAR(a.labels[1].frequency, 1800.5, 0.05);  // 40 dB down, far from the first
    EXPECT_NEAR(a.labels[0].place, 1000.5, 0.01);
    params_.precise_peaks = 0;
    a = analyse(12, 4096, 4096, {{1000.5, 12000}, {1800.5, 120}});
    EXPECT_EQ(a.labels.size(), 8u);  // the line read-out lists the side lobes, as it always did
    EXPECT_LT(a.labels[0].place, 0);
    // Hann: the mean's line and a tone too low for the block to part from its mirror are not tones.
    params_.precise_peaks = 1;
    params_.mado = 0;
    a = analyse(12, 4096, 4096, {{1.2, 12000}, {700.3, 3000}});
    ASSERT_FALSE(a.labels.empty());
    for (const dl::PeakLabel& l : a.labels) EXPECT_GT(l.frequency, 2.0) << l.frequency;
    EXPECT_NEAR(a.labels[0].frequency, 700.3, 0.01);
    // White noise alone: nothing stands out of it.
    std::mt19937 gen(9);
    std::normal_distribution<double> noise(0, 3000);
    std::vector<int> s(4096);
    for (int& v : s) v = int(std::lround(noise(gen)));
    block_ = pcm16(s);
    a = measure(block_);
    EXPECT_TRUE(a.labels.empty()) << a.labels.size();
}

TEST_F(PrecisePeakTest, CentsAndNamesFollowTheReferenceAndNoneReadsPlusNought) {
    params_.mado = 0;
    params_.freqnum = 1;
    params_.use_onmei = 2;
    // Slightly flat of A4: "A4+0", never "A4-0".
    dl::BlockAnalysis a = analyse(12, 4096, 44100, {{440 * std::pow(2, -0.3 / 1200), 12000}});
    ASSERT_EQ(a.labels.size(), 1u);
    EXPECT_EQ(a.labels[0].note, "A4+0");
    params_.reference_a4 = 4420;
    dl::ResetPitchHistory(*an_);
    a = analyse(12, 4096, 44100, {{442, 12000}});
    ASSERT_EQ(a.labels.size(), 1u);
    EXPECT_EQ(a.labels[0].note, "A4+0");
    // The A4 read-out says what A4 the sound implies, once the note has held for a block.
    EXPECT_FALSE(a.a4_shown) << "one block is not yet a steady note";
    a = analyse(12, 4096, 44100, {{442, 12000}});
    ASSERT_TRUE(a.a4_shown);
    EXPECT_NEAR(a.a4_frequency, 442.0, 0.05);
    EXPECT_EQ(a.a4_cents, 0.0);
    // Far from 440 Hz it reads near the chosen reference, not a semitone away near 440 Hz.
    params_.reference_a4 = 4150;
    dl::ResetPitchHistory(*an_);
    for (int i = 0; i < 2; ++i) a = analyse(12, 4096, 44100, {{415, 12000}});
    ASSERT_TRUE(a.a4_shown);
    EXPECT_NEAR(a.a4_frequency, 415.0, 0.05);
    EXPECT_EQ(a.a4_cents, 0.0);
    for (int i = 0; i < 8; ++i) a = analyse(12, 4096, 44100, {{415 * std::pow(2, 10 / 1200.0), 12000}});
    EXPECT_NEAR(a.a4_frequency, 415 * std::pow(2, 10 / 1200.0), 0.05);
    EXPECT_NEAR(a.a4_cents, 10, 0.05) << "cents from the chosen reference";
    params_.reference_a4 = 4150;
    a = analyse(12, 4096, 44100, {{415 * std::pow(2, 3 / 12.0) * std::pow(2, 12 / 1200.0), 12000}});
    ASSERT_EQ(a.labels.size(), 1u);
    EXPECT_EQ(a.labels[0].note, "C5+12");
    EXPECT_EQ(dl::SignedCents(-0.5), "-1");
    EXPECT_EQ(dl::SignedCents(-0.49), "+0");
    EXPECT_EQ(dl::SignedCents(7.6), "+8");
}

// A scale in tune played as the playback hands it over: the blocks where a note starts (and the
// line may still be on the note before, or between the two) do not count; the read-out holds its
// reading between notes and stays on the tuning; a note that changes every block reads nothing new.
TEST_F(PrecisePeakTest, TheA4ReadOutCountsOnlyNotesThatHeld) {
    params_.mado = 0;
    params_.freqnum = 0;
    params_.reference_a4 = 4400;
    dl::ResetPitchHistory(*an_);
    const int scale[] = {0, 2, 4, 5, 7, 9, 11, 12};
    dl::BlockAnalysis a;
    for (int step : scale) {
        const double note = 261.6255653005986 * std::pow(2, step / 12.0);
        // The first block of a note still rings with the one before, 20 cents flat of it.
        a = analyse(12, 4096, 44100, {{note * std::pow(2, -20 / 1200.0), 12000}, {note * 0.9, 3000}});
        for (int i = 0; i < 3; ++i) {
            a = analyse(12, 4096, 44100, {{note, 12000}});
            ASSERT_TRUE(a.a4_shown) << step;
            EXPECT_NEAR(a.a4_frequency, 440.0, 0.05) << step;
        }
    }
    // Notes a semitone apart block after block never hold: the reading stays where it was.
    for (int i = 0; i < 6; ++i) {
        a = analyse(12, 4096, 44100, {{440 * std::pow(2, (i % 2) / 12.0) * std::pow(2, 30 / 1200.0), 12000}});
        ASSERT_TRUE(a.a4_shown);
        EXPECT_NEAR(a.a4_frequency, 440.0, 0.05) << i;
    }
    // Silence shows no reading; the next note shows the one kept from before until it holds.
    a = analyse(12, 4096, 44100, {});
    EXPECT_FALSE(a.a4_shown);
    a = analyse(12, 4096, 44100, {{440 * std::pow(2, 30 / 1200.0), 12000}});
    EXPECT_TRUE(a.a4_shown) << "the reading before the silence, while a line sounds";
    EXPECT_NEAR(a.a4_frequency, 440.0, 0.05);
}

// The tracker, the strongest line and the list share the fits of one spectrum: each block reads what
// it would read alone, however close the block before lay (a fit kept past its block would give the
// last block's place for a peak on the same line); a run nobody reads labels from reads the same
// strongest peak and A4 and lists no more than it needs.
TEST_F(PrecisePeakTest, SharedFitsReadWhatEachBlockReadsAlone) {
    params_.mado = 0;
    params_.freqnum = 4;
    params_.tuner = 1;
    params_.rows_observed = true;
    params_.fftparam = 12;
    params_.sample_rate = 44100;
    use_work_arrays(12);
    auto harmonic_block = [](double f0) {
        std::vector<int> s(4096);
        for (int i = 0; i < 4096; ++i) {
            double v = 0;
            for (int h = 1; h <= 5; ++h) v += 9000.0 / h * std::sin(2 * std::numbers::pi * h * f0 * i / 44100 + 0.3 * h);
            s[size_t(i)] = int(std::lround(v));
        }
        return pcm16(s);
    };
    auto fresh_analyser = [this](const dl::AnalysisParams& params) {
        auto an = std::make_unique<dl::Analyser>();
        EXPECT_TRUE(an->make_work_arrays(12));
        an->configure(params);
        return an;
    };
    // 220 Hz, then 220.4 Hz: every harmonic on the same line as before, a little further along it.
    const std::vector<uint8_t> first = harmonic_block(220.0), second = harmonic_block(220.4);
    measure(first);
    const dl::BlockAnalysis shared = measure(second);
    auto alone = fresh_analyser(params_);
    const dl::BlockAnalysis& own = alone->measure({second.data(), uint32_t(second.size())});
    ASSERT_TRUE(own.peak_shown);
    EXPECT_EQ(shared.peak_frequency, own.peak_frequency);
    ASSERT_EQ(shared.labels.size(), own.labels.size());
    ASSERT_GE(own.labels.size(), 3u);
    for (size_t i = 0; i < own.labels.size(); ++i) {
        EXPECT_EQ(shared.labels[i].frequency, own.labels[i].frequency) << i;
        EXPECT_NEAR(own.labels[i].frequency / (220.4 * std::lround(own.labels[i].frequency / 220.4)), 1.0, 1e-4) << i;
    }
    ASSERT_TRUE(own.f0_voiced);
    EXPECT_NEAR(own.f0_frequency, 220.4, 0.01);

    // A run that reads no labels: over a scale of held notes, the same strongest peak, A4 and pitch.
    dl::AnalysisParams quiet = params_;
    quiet.labels_read = false;
    auto everything = fresh_analyser(params_), least = fresh_analyser(quiet);
    size_t listed = 0, listed_quietly = 0;
    for (int step : {0, 0, 0, 4, 4, 4, 7, 7, 7}) {
        const std::vector<uint8_t> block = harmonic_block(196.0 * std::pow(2, step / 12.0) * std::pow(2, 0.15 / 12));
        const dl::BlockAnalysis& a = everything->measure({block.data(), uint32_t(block.size())});
        const dl::BlockAnalysis& b = least->measure({block.data(), uint32_t(block.size())});
        EXPECT_EQ(a.peak_frequency, b.peak_frequency) << step;
        EXPECT_EQ(a.a4_shown, b.a4_shown) << step;
        EXPECT_EQ(a.a4_frequency, b.a4_frequency) << step;
        EXPECT_EQ(a.f0_frequency, b.f0_frequency) << step;
        listed += a.labels.size(), listed_quietly += b.labels.size();
    }
    EXPECT_TRUE(everything->result.a4_shown);
    EXPECT_NEAR(everything->result.a4_frequency, 440 * std::pow(2, 0.15 / 12), 0.05);
    EXPECT_EQ(listed, 9u * 4);
    EXPECT_LT(listed_quietly, listed);
}

}  // namespace
}  // namespace dl_test

namespace dl_test {
namespace {

// Pure tones from E1 to C8 as sox makes them (dithered to 16 or 8 bits) at the rates users meet,
// analysed at the settings of a fresh start, three slices each.
class FreshStartTones : public AnalyserTest {};

TEST_F(FreshStartTones, LabelsWithinATenthOfACentAndTheA4ReadOutWithin50MilliHertz) {
    params_.precise_peaks = 1;
    params_.tuner = 1;
    params_.freqnum = 4;
    params_.fftparam = 12;
    use_work_arrays(12);
    std::mt19937 gen(41);
    std::uniform_real_distribution<double> dither(-0.5, 0.5);
    int checked = 0;
    for (double rate : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0}) {
        params_.sample_rate = uint32_t(rate);
        const int slice = slice_at(rate);
        const int transformed = std::min(slice, 4096);
        for (int wide : {1, 0}) {
            params_.channel_layout = wide;
            const double full = wide ? 32767 * 0.5 : 127 * 0.5;  // -6 dB
            for (int note = -41; note <= 39; ++note) {  // E1 .. C8, A4 = 440 Hz; every third, the ends
                if (note % 3 != 0 && note != -41 && note != 39) continue;
                const double f = 440 * std::pow(2, note / 12.0);
                if (f >= 0.45 * rate || f * transformed / rate < 4) continue;  // four periods in the block
                for (int labels : {0, 2}) {
                    params_.use_onmei = labels;
                    dl::ResetPitchHistory(*an_);
                    dl::BlockAnalysis a;
                    for (int t = 0; t < 3; ++t) {
                        block_.clear();
                        for (int i = t * slice; i < (t + 1) * slice; ++i) {
                            const double v = full * std::sin(2 * std::numbers::pi * f * i / rate) + dither(gen) + dither(gen);
                            const int q = int(std::lround(v));
                            if (wide) {
                                block_.push_back(uint8_t(q & 0xff));
                                block_.push_back(uint8_t((q >> 8) & 0xff));
                            } else {
                                block_.push_back(uint8_t(q + 128));
                            }
                        }
                        a = measure(block_);
                    }
                    const std::string what = std::to_string(f) + " Hz at " + std::to_string(int(rate)) + (wide ? " 16" : " 8") + "-bit";
                    ASSERT_FALSE(a.labels.empty()) << what;
                    for (const dl::PeakLabel& l : a.labels) {
                        EXPECT_NEAR(1200 * std::log2(l.frequency / f), 0, 0.1) << what << " label " << l.frequency;
                        if (labels == 2) {
                            EXPECT_TRUE(l.note.size() >= 2 && l.note.substr(l.note.size() - 2) == "+0") << what << " " << l.note;
                        }
                    }
                    ASSERT_TRUE(a.a4_shown) << what;
                    EXPECT_NEAR(a.a4_frequency, 440.0, 0.05) << what;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 250);
}

}  // namespace
}  // namespace dl_test
