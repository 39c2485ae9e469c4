// The shipped transforms against the plain loops they replace and against a direct DFT.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/fft.h"
#include "analysis/fft_fast.h"
#include "analysis/fft_fast_kernels.h"
#include "analysis/reference_fft.h"

namespace dl {
namespace {

using fft_test::kTolerance;
using fft_test::max_difference;
using fft_test::random_signal;
using fft_test::sine;

struct Spectrum {
    std::vector<double> re, im;
};

Spectrum shipped_fft2(const std::vector<double>& signal, int p) {
    Spectrum s{signal, std::vector<double>(signal.size(), 123.0)};  // im is ignored on entry
    fft2(s.re.data(), s.im.data(), p, -1);
    return s;
}

Spectrum reference_fft2(const std::vector<double>& signal, int p) {
    reference::Tables tables;
    Spectrum s{signal, std::vector<double>(signal.size(), 0.0)};
    reference::fft2(s.re.data(), s.im.data(), p, -1, tables);
    return s;
}

// The spectrum fft2 promises: X[k]/N with the Nyquist bin zero.
Spectrum dft_spectrum(const std::vector<double>& signal) {
    const int n = static_cast<int>(signal.size());
    std::vector<double> zeros(n, 0.0);
    Spectrum s{std::vector<double>(n), std::vector<double>(n)};
    reference::dft(n, signal.data(), zeros.data(), s.re.data(), s.im.data(), false);
    s.re[n / 2] = s.im[n / 2] = 0;
    return s;
}

TEST(Fft2Forward, MatchesPlainLoopsAtEverySize) {
    for (int p = 8; p <= 16; ++p) {
        for (uint32_t seed : {1u, 2u}) {
            const std::vector<double> x = random_signal(1 << p, seed * 100 + p);
            const Spectrum got = shipped_fft2(x, p), want = reference_fft2(x, p);
            EXPECT_LT(max_difference(got.re, want.re), kTolerance) << "N=" << (1 << p);
            EXPECT_LT(max_difference(got.im, want.im), kTolerance) << "N=" << (1 << p);
        }
        // A full-scale sine near the top, where twiddle errors weigh most.
        const std::vector<double> x = sine(1 << p, 32767, (1 << p) / 2 - 3, 0.3);
        const Spectrum got = shipped_fft2(x, p), want = reference_fft2(x, p);
        EXPECT_LT(max_difference(got.re, want.re), kTolerance) << "N=" << (1 << p);
        EXPECT_LT(max_difference(got.im, want.im), kTolerance) << "N=" << (1 << p);
    }
}

TEST(Fft2Forward, PortableKernelsMatchPlainLoopsAtEverySize) {
    // What runs on processors without AVX2.
    fft_fast::use_portable_kernels = true;
    for (int p = 8; p <= 16; ++p) {
        const std::vector<double> x = random_signal(1 << p, 4000 + p);
        const Spectrum got = shipped_fft2(x, p), want = reference_fft2(x, p);
        EXPECT_LT(max_difference(got.re, want.re), kTolerance) << "N=" << (1 << p);
        EXPECT_LT(max_difference(got.im, want.im), kTolerance) << "N=" << (1 << p);
        std::vector<double> re = x, im = random_signal(1 << p, 5000 + p);
        const std::vector<double> im0 = im;
        ASSERT_EQ(fft(1 << p, re.data(), im.data()), 0);
        ASSERT_EQ(fft(-(1 << p), re.data(), im.data()), 0);
        EXPECT_LT(max_difference(re, x), kTolerance) << "N=" << (1 << p);
        EXPECT_LT(max_difference(im, im0), kTolerance) << "N=" << (1 << p);
    }
    fft_fast::use_portable_kernels = false;
}

TEST(Fft2Forward, RadixEightPassesMatchPlainLoopsWithFewerPasses) {
    // Radix-8 passes where the kernels have them, against the reference and against the radix-4
    // passes alone; forward and inverse complex transforms take the same schedules.
    reference::Tables tables;
    for (int p = 4; p <= 16; ++p) {
        const int n = 1 << p;
        const std::vector<double> x = random_signal(n, 6000 + p), y = random_signal(n, 7000 + p);
        std::vector<double> re8 = x, im8 = y, re4 = x, im4 = y;
        ASSERT_EQ(fft(n, re8.data(), im8.data()), 0);
        fft_fast::use_radix8 = false;
        ASSERT_EQ(fft(n, re4.data(), im4.data()), 0);
        const int radix4_passes = fft_fast::passes(*fft_fast::plan(p));
        fft_fast::use_radix8 = true;
        const int passes = fft_fast::passes(*fft_fast::plan(p));
        EXPECT_LT(max_difference(re8, re4), kTolerance) << "n=" << n;
        EXPECT_LT(max_difference(im8, im4), kTolerance) << "n=" << n;
        std::vector<double> want_re = x, want_im = y;
        reference::fft(n, want_re.data(), want_im.data(), tables);
        EXPECT_LT(max_difference(re8, want_re), kTolerance) << "n=" << n;
        EXPECT_LT(max_difference(im8, want_im), kTolerance) << "n=" << n;
        ASSERT_EQ(fft(-n, re8.data(), im8.data()), 0);
        EXPECT_LT(max_difference(re8, x), kTolerance) << "n=" << n;
        EXPECT_LT(max_difference(im8, y), kTolerance) << "n=" << n;
        EXPECT_LE(passes, radix4_passes) << "n=" << n;
        // Where AVX2 runs: 1024 to 32768 points take one or two passes fewer.
        if (fft_fast::avx2_kernels() && p >= 10 && p <= 15) {
            EXPECT_LT(passes, radix4_passes) << "n=" << n;
        }
    }
}

TEST(Fft2Forward, MatchesDirectDftAtSmallSizes) {
    for (int p = 1; p <= 11; ++p) {
        const std::vector<double> x = random_signal(1 << p, 500 + p);
        const Spectrum got = shipped_fft2(x, p), want = dft_spectrum(x);
        EXPECT_LT(max_difference(got.re, want.re), kTolerance) << "N=" << (1 << p);
        EXPECT_LT(max_difference(got.im, want.im), kTolerance) << "N=" << (1 << p);
    }
}

TEST(Fft2Forward, ConstantBlockGoesToBinZero) {
    for (int p : {8, 11, 16}) {
        const Spectrum s = shipped_fft2(std::vector<double>(1 << p, -1234.5), p);
        EXPECT_NEAR(s.re[0], -1234.5, 1e-9);
        double rest = 0;
        for (int k = 1; k < (1 << p); ++k) rest = std::max({rest, std::fabs(s.re[k]), std::fabs(s.im[k])});
        EXPECT_LT(rest, 1e-9) << "N=" << (1 << p);
        EXPECT_EQ(s.im[0], 0.0);
    }
}

TEST(Fft2Forward, BinCentredSineGivesHalfItsAmplitudeAtTheBinAndItsMirror) {
    for (int p : {8, 12, 16}) {
        const int n = 1 << p;
        for (int bin : {1, 37, n / 4, n / 2 - 1}) {
            const Spectrum s = shipped_fft2(sine(n, 1000, bin, 0.7), p);
            for (int k = 0; k < n; ++k) {
                const double mag = std::hypot(s.re[k], s.im[k]);
                if (k == bin || k == n - bin)
                    EXPECT_NEAR(mag, 500, 1e-8) << "N=" << n << " k=" << k;
                else
                    ASSERT_LT(mag, 1e-8) << "N=" << n << " bin=" << bin << " k=" << k;
            }
            EXPECT_EQ(s.re[n / 2], 0.0);
            EXPECT_EQ(s.im[n / 2], 0.0);
            // The upper half mirrors the lower half.
            EXPECT_EQ(s.re[n - bin], s.re[bin]);
            EXPECT_EQ(s.im[n - bin], -s.im[bin]);
        }
    }
}

// The per-tick variant: the same bits as fft2 for k <= N/2 with either set of kernels.
TEST(Fft2Lower, MatchesFft2BitForBitUpToNyquist) {
    for (bool portable : {false, true}) {
        fft_fast::use_portable_kernels = portable;
        for (int p = 1; p <= 16; ++p) {
            const int n = 1 << p;
            const std::vector<double> x = random_signal(n, 7000 + p);
            const Spectrum want = shipped_fft2(x, p);
            std::vector<double> re = x, im(n, 123.0);
            fft2_lower(re.data(), im.data(), p);
            for (int k = 0; k <= n / 2; ++k) {
                ASSERT_EQ(re[k], want.re[k]) << "N=" << n << " k=" << k << " portable=" << portable;
                ASSERT_EQ(im[k], want.im[k]) << "N=" << n << " k=" << k << " portable=" << portable;
            }
        }
    }
    fft_fast::use_portable_kernels = false;
}

TEST(ComplexFft, MatchesPlainLoopsAndRoundTrips) {
    reference::Tables tables;
    for (int p = 2; p <= 16; ++p) {
        const int n = 1 << p;
        const std::vector<double> re0 = random_signal(n, 900 + p), im0 = random_signal(n, 950 + p);
        std::vector<double> re = re0, im = im0, rr = re0, ri = im0;
        ASSERT_EQ(fft(n, re.data(), im.data()), 0);
        reference::fft(n, rr.data(), ri.data(), tables);
        EXPECT_LT(max_difference(re, rr), kTolerance) << n;
        EXPECT_LT(max_difference(im, ri), kTolerance) << n;
        ASSERT_EQ(fft(-n, re.data(), im.data()), 0);
        EXPECT_LT(max_difference(re, re0), kTolerance) << n;
        EXPECT_LT(max_difference(im, im0), kTolerance) << n;
    }
}

TEST(ComplexFft, InverseMatchesDftWithoutDivision) {
    for (int p = 1; p <= 9; ++p) {
        const int n = 1 << p;
        std::vector<double> re = random_signal(n, 70 + p, 10.0), im = random_signal(n, 80 + p, 10.0);
        std::vector<double> want_re(n), want_im(n);
        reference::dft(n, re.data(), im.data(), want_re.data(), want_im.data(), true);
        ASSERT_EQ(fft(-n, re.data(), im.data()), 0);
        EXPECT_LT(max_difference(re, want_re), 1e-9) << n;
        EXPECT_LT(max_difference(im, want_im), 1e-9) << n;
    }
}

TEST(ComplexFft, TwoPointsTransformCorrectly) {
    // The table lookup of the plain loops gives a zero cosine at two points; this must not.
    double re[2] = {3, 1}, im[2] = {0, 2};
    ASSERT_EQ(fft(2, re, im), 0);
    EXPECT_DOUBLE_EQ(re[0], 2);
    EXPECT_DOUBLE_EQ(im[0], 1);
    EXPECT_DOUBLE_EQ(re[1], 1);
    EXPECT_DOUBLE_EQ(im[1], -1);
}

TEST(DirectFft, MatchesPlainLoopsDftAndRoundTrips) {
    for (int p = 0; p <= 16; ++p) {
        const int n = 1 << p;
        const std::vector<double> re0 = random_signal(n, 300 + p), im0 = random_signal(n, 350 + p);
        std::vector<double> re = re0, im = im0, rr = re0, ri = im0;
        fft_direct(re.data(), im.data(), p, -1);
        reference::fft_direct(rr.data(), ri.data(), p, -1);
        EXPECT_LT(max_difference(re, rr), kTolerance) << n;
        EXPECT_LT(max_difference(im, ri), kTolerance) << n;
        if (p <= 10) {
            std::vector<double> dr(n), di(n);
            reference::dft(n, re0.data(), im0.data(), dr.data(), di.data(), false);
            EXPECT_LT(max_difference(re, dr), kTolerance) << n;
            EXPECT_LT(max_difference(im, di), kTolerance) << n;
        }
        fft_direct(re.data(), im.data(), p, 1);
        EXPECT_LT(max_difference(re, re0), kTolerance) << n;
        EXPECT_LT(max_difference(im, im0), kTolerance) << n;
    }
}

// x with its mean and its Nyquist component removed, and its circular autocorrelation / N.
struct Autocorrelation {
    std::vector<double> signal, expected;
};

Autocorrelation autocorrelation_case(int n, uint32_t seed) {
    Autocorrelation a{random_signal(n, seed, 2000.0), std::vector<double>(n, 0.0)};
    double mean = 0, nyquist = 0;
    for (int i = 0; i < n; ++i) {
        mean += a.signal[i];
        nyquist += (i % 2 ? -1 : 1) * a.signal[i];
    }
    for (int i = 0; i < n; ++i) a.signal[i] -= mean / n + (i % 2 ? -1 : 1) * nyquist / n;
    for (int lag = 0; lag < n; ++lag) {
        long double sum = 0;
        for (int j = 0; j < n; ++j) sum += a.signal[j] * a.signal[(j + lag) % n];
        a.expected[lag] = static_cast<double>(sum / n);
    }
    return a;
}

// The power spectrum as the pipeline forms it: fft2 forward, then re^2 + im^2.
void power_spectrum(std::vector<double>& re, std::vector<double>& im, int p) {
    fft2(re.data(), im.data(), p, -1);
    for (std::size_t k = 0; k < re.size(); ++k) {
        re[k] = re[k] * re[k] + im[k] * im[k];
        im[k] = 0;
    }
}

TEST(Fft2Inverse, PowerSpectrumGivesCircularAutocorrelation) {
    for (int p : {3, 6, 9, 11}) {
        const int n = 1 << p;
        const Autocorrelation a = autocorrelation_case(n, 60 + p);
        std::vector<double> re = a.signal, im(n, 0.0);
        power_spectrum(re, im, p);
        fft2(re.data(), im.data(), p, 1);
        EXPECT_LT(max_difference(re, a.expected), 1e-6 * a.expected[0]) << n;
        for (double v : im) ASSERT_EQ(v, 0.0);
    }
}

TEST(Fft2Inverse, BinZeroLandsTwiceOnEvenSamplesOnly) {
    const int p = 8, n = 1 << p;
    std::vector<double> re(n, 0.0), im(n, 0.0);
    re[0] = 3.0;
    fft2(re.data(), im.data(), p, 1);
    for (int i = 0; i < n; ++i) ASSERT_NEAR(re[i], i % 2 ? 0.0 : 6.0, 1e-12) << i;
}

TEST(Fft2Inverse, MatchesPlainLoopsAtEverySize) {
    for (int p = 8; p <= 16; ++p) {
        const int n = 1 << p;
        std::vector<double> re = random_signal(n, 700 + p, 1e4), im = random_signal(n, 800 + p, 1e4);
        std::vector<double> rr = re, ri = im;
        reference::Tables tables;
        fft2(re.data(), im.data(), p, 1);
        reference::fft2(rr.data(), ri.data(), p, 1, tables);
        // The lower half holds up to 1e4 per value and the inverse does not divide: compare
        // relative to the largest possible output.
        EXPECT_LT(max_difference(re, rr), 1e-12 * 1e4 * n) << n;
        EXPECT_EQ(max_difference(im, ri), 0.0) << n;
    }
}

}  // namespace
}  // namespace dl
