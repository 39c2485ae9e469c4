// Checks of the plain loops the shipped transforms are compared with. Test sources are picked
// up by their *_test.cpp name, so the plain loops are compiled here, once for the whole suite.
#include "analysis/reference_fft.cpp"

#include <gtest/gtest.h>

namespace dl {
namespace {

using fft_test::kTolerance;
using fft_test::max_difference;
using fft_test::random_signal;

TEST(PlainLoops, AgreeWithDirectDft) {
    reference::Tables tables;
    for (int p = 2; p <= 9; ++p) {
        const int n = 1 << p;
        const std::vector<double> re0 = random_signal(n, p), im0 = random_signal(n, 40 + p);
        std::vector<double> want_re(n), want_im(n);
        reference::dft(n, re0.data(), im0.data(), want_re.data(), want_im.data(), false);
        std::vector<double> re = re0, im = im0;
        reference::fft(n, re.data(), im.data(), tables);
        EXPECT_LT(max_difference(re, want_re), kTolerance) << n;
        EXPECT_LT(max_difference(im, want_im), kTolerance) << n;
        re = re0;
        im = im0;
        reference::fft_direct(re.data(), im.data(), p, -1);
        EXPECT_LT(max_difference(re, want_re), kTolerance) << n;
        EXPECT_LT(max_difference(im, want_im), kTolerance) << n;
    }
}

TEST(PlainLoops, TwoPointTableLookupLosesTheCosine) {
    // Why the shipped fft does not copy the loops below four points: the cosine comes out 0.
    reference::Tables tables;
    double re[2] = {3, 1}, im[2] = {0, 0};
    reference::fft(2, re, im, tables);
    EXPECT_EQ(re[0], re[1]);
}

}  // namespace
}  // namespace dl
