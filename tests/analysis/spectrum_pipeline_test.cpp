// The spectrum an analyser measures from a block: the mix of the channels, the window over the
// block's own length, the autocorrelation mode, the tilt, the levels the graph is drawn from, and
// the kernels under them, each against a direct computation.
#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>

#include "analysis/analysis_stop.h"
#include "analysis/fft.h"
#include "analysis/peak_candidates.h"
#include "analysis/peaks.h"
#include "analysis/pipeline.h"
#include "analysis/pipeline_kernels.h"
#include "analysis/pipeline_levels.h"
#include "analysis/window_table.h"
#include "analyser_fixture.h"

namespace dl_test {
namespace {

// Direct DFT of one line, divided by the length (the transform's convention).
std::complex<double> dft_line(const std::vector<double>& x, int n, int k) {
    std::complex<double> sum = 0;
    for (size_t i = 0; i < x.size(); ++i)
        sum += x[i] * std::polar(1.0, -2 * std::numbers::pi * double(k) * double(i) / n);
    return sum / double(n);
}

void hann_over(std::vector<double>& x, int m) {
    double mean = 0;
    for (int i = 0; i < m; ++i) mean += x[size_t(i)];
    mean /= m;
    const int h = m / 2;
    for (int i = 0; i < m; ++i) x[size_t(i)] -= mean;
    for (int i = 0; i < h; ++i) {
        const double w = 0.5 - 0.5 * std::cos(std::numbers::pi * i / h);
        x[size_t(i)] *= w;
        x[size_t(2 * h - 1 - i)] *= w;
    }
}

std::vector<int> sine(int count, double hz, double amplitude, double rate, double phase = 0) {
    std::vector<int> s(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        s[size_t(i)] = int(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate + phase)));
    return s;
}

class SpectrumTest : public AnalyserTest {
protected:
    // One block measured; the block is kept for a second look with other parameters.
    void tick(const std::vector<uint8_t>& bytes) {
        block_ = bytes;
        measure(block_);
    }
    // The spectrum the last block left in the work arrays at line k.
    std::complex<double> work_line(int k) const { return {an_->work.re[k], an_->work.im[k]}; }
};

TEST_F(SpectrumTest, StereoMixTruncatesTowardsZero) {
    // (3 + -4)/2 is 0 towards zero but -1 rounded down: only the first leaves a silent block.
    params_.channel_layout = 3;
    params_.mado = 4;
    std::vector<int> frames;
    for (int i = 0; i < 4096; ++i) frames.insert(frames.end(), {3, -4});
    tick(pcm16(frames));
    EXPECT_EQ(an_->peak.power, 0.0);

    // 8-bit: (129 + 128)/2 drops the remainder: 128, silence.
    params_.channel_layout = 2;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 4096; ++i) bytes.insert(bytes.end(), {129, 128});
    tick(bytes);
    EXPECT_EQ(an_->peak.power, 0.0);
}

TEST_F(SpectrumTest, TiltMovesTheStrongestLineUp) {
    params_.fftparam = 12;
    params_.mado = 4;
    std::vector<int> low = sine(4096, 10 * 44100.0 / 4096, 8000, 44100);
    std::vector<int> high = sine(4096, 1000 * 44100.0 / 4096, 2000, 44100);
    for (size_t i = 0; i < low.size(); ++i) low[i] += high[i];
    tick(pcm16(low));
    EXPECT_EQ(an_->peak.bin, 10);
    params_.katamuki = 1;
    tick(block_);
    EXPECT_EQ(an_->peak.bin, 1000);
    // 2000^2/4 tilted by 1000/4096*16
    EXPECT_NEAR(an_->peak.power, 1e6 * 1000 / 4096 * 16, 1e6 * 1e-3);
}

TEST_F(SpectrumTest, ShortBlockIsZeroPaddedAndWindowedOverItsOwnLength) {
    params_.fftparam = 12;
    params_.mado = 0;
    // A constant short block loses everything to the mean of its own samples.
    tick(pcm16(std::vector<int>(1000, 5000)));
    EXPECT_EQ(an_->peak.power, 0.0);
    EXPECT_EQ(an_->window.cached_length, 500);

    const std::vector<int> s = sine(1001, 1500, 12000, 44100, 0.7);
    tick(pcm16(s));
    std::vector<double> x(s.begin(), s.end());
    hann_over(x, 1001);  // the odd last sample loses the mean but takes no weight
    for (int k : {0, 1, 139, 140, 141, 600, 2047}) {
        const std::complex<double> want = dft_line(x, 4096, k), got = work_line(k);
        EXPECT_NEAR(got.real(), want.real(), 1e-6) << k;
        EXPECT_NEAR(got.imag(), want.imag(), 1e-6) << k;
    }
}

TEST_F(SpectrumTest, AutocorrelationMatchesDirectSums) {
    const int fftparam = 12;  // both transforms complex
    const std::vector<int> s = sine(1024, 700, 9000, 44100, 0.2);
    std::vector<uint8_t> bytes = pcm16(s);
    std::vector<double> a;
    const double w = dl::AutoCorrelation(fftparam, true, 1024, 512, 2048, bytes.data(), a);
    EXPECT_DOUBLE_EQ(w, 1 / std::pow(512.0, 1.5));
    double r0 = 0;
    for (int v : s) r0 += double(v) * v;
    for (int lag : {0, 1, 7, 100, 511}) {
        double r = 0;
        for (int j = 0; j + lag < 1024; ++j) r += double(s[size_t(j)]) * s[size_t(j + lag)];
        EXPECT_NEAR(a[size_t(lag)] / a[0], r / r0, 1e-9) << lag;
    }
    // Silence: the zero lag counts as 1, so everything stays 0.
    std::vector<uint8_t> silent(2048, 0);
    dl::AutoCorrelation(fftparam, true, 1024, 512, 2048, silent.data(), a);
    EXPECT_EQ(a[0], 1.0);
    EXPECT_EQ(a[1], 0.0);
}

TEST_F(SpectrumTest, AutocorrelationModeTakesTheLagsTheGraphCanShow) {
    // 2048 samples, a 512-pixel graph, N = 4096: 512 lags of the first 1024 samples, then the
    // mean removal and the window over all 2048 values.
    params_.fftparam = 12;
    params_.wavmode = 2;
    params_.mado = 0;
    const std::vector<int> s = sine(2048, 900, 9000, 44100, 0.4);
    tick(pcm16(s));

    double r0 = 0;
    for (int j = 0; j < 1024; ++j) r0 += double(s[size_t(j)]) * s[size_t(j)];
    std::vector<double> x(2048, 0.0);
    const double w = 1 / std::pow(512.0, 1.5);
    for (int i = 0; i < 512; ++i) {
        double r = 0;
        for (int j = 0; j + i < 1024; ++j) r += double(s[size_t(j)]) * s[size_t(j + i)];
        x[size_t(i)] = (std::pow(i, 1.5) * w + 1) * (r / r0) * 31000;
    }
    hann_over(x, 2048);
    for (int k : {0, 3, 40, 83, 84, 500}) {
        const std::complex<double> want = dft_line(x, 4096, k), got = work_line(k);
        EXPECT_NEAR(got.real(), want.real(), 1e-6) << k;
        EXPECT_NEAR(got.imag(), want.imag(), 1e-6) << k;
    }
}

TEST_F(SpectrumTest, AutocorrelationOfTinyBlocks) {
    // Fewer samples than the smallest useful transform must still come out finite.
    params_.wavmode = 2;
    for (int p : {9, 12}) {
        params_.fftparam = p;
        for (int count : {1, 2, 3, 5}) {
            tick(pcm16(std::vector<int>(size_t(count), 3000)));
            for (int k = 0; k < (1 << p) / 2; ++k) ASSERT_TRUE(std::isfinite(an_->work.re[k])) << k;
        }
    }
    tick(pcm16({}));  // nothing to analyse
    tick({0x12});     // half a sample
}

TEST_F(SpectrumTest, DisplayLevelMapping) {
    const int n = 8;
    std::vector<double> re(n, 0.0), im(n, 0.0);
    std::vector<uint8_t> levels(n);
    const double ref = dl::PowerReference(params_);
    re[0] = std::sqrt(ref);            // full scale
    re[1] = std::sqrt(0.001 * ref);    // 30 dB down
    re[2] = std::sqrt(1e-9 * ref);     // 90 dB down
    im[3] = std::sqrt(0.25 * ref);
    dl::ComputeLevelsAndStrongestLine(params_, an_->level_range, n, levels.data(), re.data(), im.data());
    EXPECT_EQ(std::vector<int>(levels.begin(), levels.begin() + 4), (std::vector<int>{0, 70, 211, 14}));

    params_.Expand = true;
    dl::ComputeLevelsAndStrongestLine(params_, an_->level_range, n, levels.data(), re.data(), im.data());
    EXPECT_EQ(std::vector<int>(levels.begin(), levels.begin() + 4), (std::vector<int>{0, 39, 255, 0}));

    params_.Decibel = false;
    params_.Expand = false;
    re[3] = std::nan("");
    dl::ComputeLevelsAndStrongestLine(params_, an_->level_range, n, levels.data(), re.data(), im.data());
    // 255.5 - 255 sqrt(P): 0.5 -> 128; a value that is not a number counts as 0.
    EXPECT_EQ(std::vector<int>(levels.begin(), levels.begin() + 4), (std::vector<int>{0, 247, 255, 255}));
    im[3] = 0;
    re[3] = std::sqrt(0.25 * ref);
    dl::ComputeLevelsAndStrongestLine(params_, an_->level_range, n, levels.data(), re.data(), im.data());
    EXPECT_EQ(levels[3], 128);

    params_.katamuki = 1;  // line 3 tilted by 3/8*16 = 6 (a factor 4 more on the amplitude)
    dl::ComputeLevelsAndStrongestLine(params_, an_->level_range, n, levels.data(), re.data(), im.data());
    EXPECT_EQ(levels[3], 0);
}

TEST(DecibelLevels, TableGivesTheFormulasLevels) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> exponent(-45, 2);
    for (bool expand : {false, true}) {
        const dl::DecibelLevelTable& table = dl::decibel_level_table(expand);
        for (int i = 0; i < 200000; ++i) {
            const double p = std::pow(10.0, exponent(rng));
            ASSERT_EQ(table(p), dl::DecibelLevel(p, expand)) << p;
        }
        // Around every step of the scale, to the last bit.
        const double per_level = expand ? 20.4 : 10.2, offset = expand ? -101.51 + 0.49 : 0;
        for (int level = 0; level <= 256; ++level) {
            double p = std::exp(-(level - offset) / per_level);
            for (int k = 0; k < 4; ++k) p = std::nextafter(p, 0.0);
            for (int k = 0; k < 8; ++k, p = std::nextafter(p, 2.0)) ASSERT_EQ(table(p), dl::DecibelLevel(p, expand)) << p;
        }
        for (double p : {0.0, 1e-300, 0x1p-38, 1.0, 7.0, std::nan("")}) EXPECT_EQ(table(p), dl::DecibelLevel(p, expand)) << p;
    }
}

// The lookup of many powers at once (four a step where the processor can) gives each power the
// level the single lookup gives it, at the table's edges and past them too.
TEST(DecibelLevels, ManyAtOnceGiveTheSingleLookupsLevels) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> exponent(-14, 1);
    std::vector<double> powers;
    for (int i = 0; i < 4001; ++i) powers.push_back(std::pow(10.0, exponent(rng)));
    for (double p : {0.0, -0.0, -1.0, 1e-310, 0x1p-38, std::nextafter(0x1p-38, 0.0), 1.0, std::nextafter(1.0, 0.0),
                     7.0, std::numeric_limits<double>::infinity(), std::nan("")})
        powers.insert(powers.begin() + std::ptrdiff_t(rng() % powers.size()), p);
    const dl::DecibelLevelTable ranged(-10, 80), narrow(-40, 20);
    for (const dl::DecibelLevelTable* table :
         {&dl::decibel_level_table(false), &dl::decibel_level_table(true), &ranged, &narrow}) {
        // Every count up to a few steps, so that the lines after the last whole step are covered.
        for (int count : {1, 3, 4, 5, 9, int(powers.size())}) {
            std::vector<uint8_t> levels(size_t(count) + 1, 77);
            table->view().levels(powers.data(), levels.data(), count);
            for (int k = 0; k < count; ++k) ASSERT_EQ(levels[size_t(k)], (*table)(powers[size_t(k)])) << powers[size_t(k)];
            EXPECT_EQ(levels[size_t(count)], 77);  // nothing written past the end
        }
    }
}

TEST(PipelineKernels, MatchPlainLoops) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> any(-32768, 32767);
    for (uint32_t frames : {0u, 1u, 3u, 4u, 7u, 64u, 1001u}) {
        std::vector<int> v(2 * frames);
        for (int& x : v) x = any(rng);
        if (frames > 2) v[3] = -32768;  // a magnitude that only fits in 32 bits
        const std::vector<uint8_t> bytes = Pcm16Bytes(v);
        int left = 0, right = 0, want_left = 0, want_right = 0, want_all = 0;
        int64_t sum = 0;
        std::vector<uint8_t> mix(2 * frames + 1, 0xAB), want_mix;
        for (uint32_t f = 0; f < frames; ++f) {
            want_left = std::max(want_left, std::abs(v[2 * f]));
            want_right = std::max(want_right, std::abs(v[2 * f + 1]));
            const int m = (v[2 * f] + v[2 * f + 1]) / 2;
            want_mix.push_back(uint8_t(m & 0xff));
            want_mix.push_back(uint8_t((m >> 8) & 0xff));
        }
        for (int x : v) {
            want_all = std::max(want_all, std::abs(x));
            sum += x;
        }
        dl::peak_and_mix_stereo16(bytes.data(), frames, mix.data(), left, right);
        EXPECT_EQ(left, want_left) << frames;
        EXPECT_EQ(right, want_right) << frames;
        EXPECT_EQ(std::vector<uint8_t>(mix.begin(), mix.begin() + 2 * frames), want_mix) << frames;
        EXPECT_EQ(mix[2 * frames], 0xAB);  // nothing written past the mix
        EXPECT_EQ(dl::peak16(bytes.data(), 2 * frames), want_all) << frames;
        EXPECT_EQ(dl::sum16(bytes.data(), int(2 * frames)), sum) << frames;
    }
    // A long full-scale block cannot overflow the sum.
    const std::vector<uint8_t> loud = Pcm16Bytes(std::vector<int>(300000, -32768));
    EXPECT_EQ(dl::sum16(loud.data(), 300000), -32768LL * 300000);
}

// Each trace's signal of a stereo block: left, right, the mix, half the difference and the whole
// difference held at full scale, at the extremes of the samples too.
TEST(PipelineKernels, StereoSignalsMatchTheirFormulas) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> any(-32768, 32767);
    struct Signal {
        int wl, wr;
        bool halve;
    };
    for (uint32_t frames : {1u, 3u, 4u, 9u, 1001u}) {
        std::vector<int> v(2 * frames);
        for (int& x : v) x = any(rng);
        v[0] = 32767;  // the difference of the extremes passes full scale
        v[1] = -32768;
        if (frames > 4) {
            v[8] = -32768;
            v[9] = 32767;
        }
        const std::vector<uint8_t> bytes = Pcm16Bytes(v);
        for (const Signal s : {Signal{1, 0, false}, Signal{0, 1, false}, Signal{1, 1, true}, Signal{1, -1, true},
                               Signal{1, -1, false}}) {
            std::vector<uint8_t> out(2 * frames + 1, 0xAB), want;
            for (uint32_t f = 0; f < frames; ++f) {
                const int x = v[2 * f] * s.wl + v[2 * f + 1] * s.wr;
                const int m = s.halve ? x / 2 : std::clamp(x, -32768, 32767);
                want.push_back(uint8_t(m & 0xff));
                want.push_back(uint8_t((m >> 8) & 0xff));
            }
            dl::stereo_signal16(bytes.data(), frames, s.wl, s.wr, s.halve, out.data());
            EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 2 * frames), want)
                << frames << " frames, weights " << s.wl << " " << s.wr;
            EXPECT_EQ(out[2 * frames], 0xAB);
        }
    }
}

TEST(PeakRefinement, ComplexRefinementOfASineBetweenLines) {
    // 1232.8 Hz at 44.1 kHz lies between lines 114 and 115 of 4096.
    const int rectangular = 4;
    for (int p : {11, 12, 14}) {
        const int n = 1 << p;
        std::vector<double> re(static_cast<size_t>(n)), im(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) re[size_t(i)] = 12000 * std::sin(2 * std::numbers::pi * 1232.8 * i / 44100 + 0.3);
        dl::fft2(re.data(), im.data(), p, -1);
        int b = 0;
        for (int k = 1; k < n / 2; ++k)
            if (std::hypot(re[size_t(k)], im[size_t(k)]) > std::hypot(re[size_t(b)], im[size_t(b)])) b = k;
        EXPECT_NEAR(dl::RefinePeakFrequency(re.data(), im.data(), b, n, n, 44100, rectangular), 1232.8, 0.05) << n;
        // A block shorter than the transform takes the two-sided estimate instead.
        EXPECT_NEAR(dl::RefinePeakFrequency(re.data(), im.data(), b, n, n - 1, 44100, rectangular), 1232.8, 44100.0 / n)
            << n;
    }
    // At the ends of the spectrum only one neighbour is there.
    std::vector<double> re(64, 0.0), im(64, 0.0);
    re[0] = 1;
    EXPECT_DOUBLE_EQ(dl::RefinePeakFrequency(re.data(), im.data(), 0, 64, 64, 64, rectangular), 0.0);
    re[0] = 0;
    re[31] = 1;
    EXPECT_DOUBLE_EQ(dl::RefinePeakFrequency(re.data(), im.data(), 31, 64, 64, 64, rectangular), 31.0);
}

TEST_F(SpectrumTest, BrokenPreconditionsStopTheAnalysis) {
    params_.freqnum = 0;
    params_.sample_rate = 4096;
    std::vector<double> re(4096, 0.0), im(4096, 0.0);
    re[100] = 1000;
    dl::BlockAnalysis a;
    a.n = 4096;
    try {
        dl::ListPeaks(*an_, params_, dl::AnalysisPurpose::Both, re.data(), im.data(), 100, 4096, 8192, nullptr, a);
        ADD_FAILURE() << "the list went on";
    } catch (const dl::AnalysisStop& stop) {
        EXPECT_EQ(stop.english, "Assertion failed: freqnum, file DEWLARK.C, line 2577");
        EXPECT_FALSE(stop.owned) << "the box of an assertion belongs to no window";
        EXPECT_EQ(stop.status, 3);
    }
}

// The maxima come strongest first and strictly below the last one taken, as a search of the whole
// spectrum for each would give them, however the passes keep them.
TEST(PeakCandidates, AFullPassSaysItMayHaveLeftMaximaOutAndAWholePassHandsOutTheRest) {
    dl::PeakCandidates c;
    auto take = [&](double below) {
        std::vector<int> bins;
        double p = 0;
        int bin = 0;
        while (c.next(below, p, bin)) {
            bins.push_back(bin);
            below = p;
        }
        return std::make_pair(bins, below);
    };
    auto offer_all = [&] {
        // Sixteen strong maxima first, which fill a pass for four peaks, then weaker ones after
        // them: none of these evicts a kept one.
        for (int k = 0; k < 16; ++k) c.offer(100.0 - k, k);
        for (int k = 0; k < 5; ++k) c.offer(10.0 - k, 20 + k);
        c.offer(7.0, 30);  // an equal of a weaker one, on a higher line
    };
    c.begin(4, 1e9);
    offer_all();
    c.end();
    const auto [first, last] = take(1e9);
    ASSERT_EQ(first.size(), 16u);
    EXPECT_EQ(first.front(), 0);
    EXPECT_EQ(last, 85.0);
    EXPECT_TRUE(c.incomplete()) << "the weaker maxima came after the pass was full";

    c.begin(-1, last);
    offer_all();
    c.end();
    const auto [rest, weakest] = take(last);
    EXPECT_EQ(rest, (std::vector<int>{20, 21, 22, 23, 24})) << "among equals the lower line, once";
    EXPECT_EQ(weakest, 6.0);
    EXPECT_FALSE(c.incomplete());
}

}  // namespace
}  // namespace dl_test
