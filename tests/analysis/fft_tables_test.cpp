// The integer helpers and the out-of-memory paths of the transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/analysis_stop.h"
#include "analysis/fft.h"
#include "analysis/fft_fast.h"
#include "analysis/reference_fft.h"

namespace dl {
namespace {

using fft_test::kTolerance;
using fft_test::max_difference;
using fft_test::random_signal;

// Collects what the transform has to say as it says it.
class FftReportTest : public ::testing::Test {
protected:
    void SetUp() override { TakeFftShortageTexts(false); }
    void TearDown() override {
        fft_fast::fail_next_allocations = 0;
        TakeFftShortageTexts(false);
    }
    bool japanese_ = false;
    std::vector<std::string> said_;
    // Everything said so far, in the language of the moment for what is new.
    const std::vector<std::string>& reports() {
        for (std::string& text : TakeFftShortageTexts(japanese_)) said_.push_back(std::move(text));
        return said_;
    }

    // The next request for the engine's tables of a size finds no memory (they are kept once
    // built); its work buffer is there already.
    static void fail_next_tables() {
        fft_fast::release_all();
        fft_fast::Scratch work{};
        ASSERT_TRUE(fft_fast::scratch(1 << 16, work));
        fft_fast::fail_next_allocations = 1;
    }

private:
    std::function<void(const std::string&)> saved_;
};

TEST(FftHelpers, Pow2AndCeilLog2) {
    EXPECT_EQ(pow2(0), 1);
    EXPECT_EQ(pow2(-5), 1);
    EXPECT_EQ(pow2(1), 2);
    EXPECT_EQ(pow2(12), 4096);
    EXPECT_EQ(pow2(16), 65536);
    EXPECT_EQ(ceil_log2(1), 0);
    EXPECT_EQ(ceil_log2(2), 1);
    EXPECT_EQ(ceil_log2(3), 2);
    EXPECT_EQ(ceil_log2(4), 2);
    EXPECT_EQ(ceil_log2(5), 3);
    EXPECT_EQ(ceil_log2(1536), 11);  // 3 * 512 lags of the autocorrelation
    EXPECT_EQ(ceil_log2(3072), 12);
}

TEST_F(FftReportTest, TableFailureLeavesArraysAndReportsBytes) {
    std::vector<double> re = random_signal(64, 1), im = random_signal(64, 2);
    const std::vector<double> re0 = re, im0 = im;
    fail_next_tables();
    EXPECT_EQ(fft(64, re.data(), im.data()), 1);
    EXPECT_EQ(re, re0);
    EXPECT_EQ(im, im0);
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0], "nomem 640");  // (64 + 16) * 8 bytes of sine table

    japanese_ = true;
    fail_next_tables();
    EXPECT_EQ(fft(-8, re.data(), im.data()), 1);
    ASSERT_EQ(reports().size(), 2u);
    EXPECT_EQ(reports()[1], "記憶領域不足 80");

    // Memory back: the next call builds the tables and transforms.
    EXPECT_EQ(fft(64, re.data(), im.data()), 0);
    EXPECT_GT(max_difference(re, re0), 1.0);
    EXPECT_EQ(reports().size(), 2u);
}

TEST_F(FftReportTest, Fft2FallsBackToDirectTransformWhenTablesFail) {
    for (int p : {8, 12}) {
        const int n = 1 << p;
        const std::vector<double> signal = random_signal(n, 7 + p);
        std::vector<double> want = signal, want_im(n, 0.0);
        fft2(want.data(), want_im.data(), p, -1);

        std::vector<double> re = signal, im(n, 0.0);
        fail_next_tables();
        fft2(re.data(), im.data(), p, -1);
        EXPECT_LT(max_difference(re, want), kTolerance) << n;
        EXPECT_LT(max_difference(im, want_im), kTolerance) << n;
        ASSERT_FALSE(reports().empty());
        EXPECT_EQ(reports().back(), "nomem " + std::to_string((n / 2 + n / 8) * 8));
    }
    EXPECT_EQ(reports().size(), 2u);
}

TEST_F(FftReportTest, Fft2LowerFallsBackToDirectTransformWhenTablesFail) {
    const int p = 10, n = 1 << p;
    const std::vector<double> signal = random_signal(n, 31);
    std::vector<double> want = signal, want_im(n, 0.0);
    fft2(want.data(), want_im.data(), p, -1);

    std::vector<double> re = signal, im(n, 0.0);
    fail_next_tables();
    fft2_lower(re.data(), im.data(), p);
    ASSERT_EQ(reports().size(), 1u);
    for (int k = 0; k <= n / 2; ++k) {
        EXPECT_NEAR(re[k], want[k], kTolerance) << k;
        EXPECT_NEAR(im[k], want_im[k], kTolerance) << k;
    }
}

// Without its scratch the forward real transform runs inside re and im, to the same bits.
TEST_F(FftReportTest, Fft2ForwardWithoutScratchGivesTheSameSpectrum) {
    for (bool portable : {false, true}) {
        fft_fast::use_portable_kernels = portable;
        for (int p : {5, 8, 12, 13}) {
            const int n = 1 << p;
            const std::vector<double> signal = random_signal(n, 50 + p);
            std::vector<double> want = signal, want_im(n, 0.0);
            fft2(want.data(), want_im.data(), p, -1);

            fft_fast::release_all();
            ASSERT_NE(fft_fast::plan(p - 1), nullptr);
            std::vector<double> re = signal, im(n, 0.0);
            fft_fast::fail_next_allocations = 1;
            fft2(re.data(), im.data(), p, -1);
            EXPECT_EQ(fft_fast::fail_next_allocations, 0) << "the scratch was not asked for";
            EXPECT_EQ(re, want) << n << " portable=" << portable;
            EXPECT_EQ(im, want_im) << n << " portable=" << portable;
        }
    }
    fft_fast::use_portable_kernels = false;
    EXPECT_TRUE(reports().empty());
}

TEST_F(FftReportTest, InverseFft2FallsBackToDirectTransformWhenTablesFail) {
    const int p = 10, n = 1 << p;
    std::vector<double> spectrum = random_signal(n, 21, 100.0), zeros(n, 0.0);
    std::vector<double> want = spectrum, want_im = zeros;
    fft2(want.data(), want_im.data(), p, 1);
    std::vector<double> re = spectrum, im = zeros;
    fail_next_tables();
    fft2(re.data(), im.data(), p, 1);
    EXPECT_EQ(reports().size(), 1u);
    EXPECT_LT(max_difference(re, want), kTolerance);
    EXPECT_EQ(im, zeros);
}

TEST_F(FftReportTest, DirectTransformWorksWithoutAnyMemory) {
    fft_fast::release_all();
    for (int p : {1, 3, 6, 9}) {
        const int n = 1 << p;
        std::vector<double> re = random_signal(n, 30 + p), im = random_signal(n, 40 + p);
        std::vector<double> want_re(n), want_im(n);
        reference::dft(n, re.data(), im.data(), want_re.data(), want_im.data(), false);
        fft_fast::fail_next_allocations = 1;
        fft_direct(re.data(), im.data(), p, -1);
        EXPECT_EQ(fft_fast::fail_next_allocations, 0) << "the engine was not asked for memory";
        EXPECT_LT(max_difference(re, want_re), kTolerance) << n;
        EXPECT_LT(max_difference(im, want_im), kTolerance) << n;
    }
}

// The inverse transform without room for its scratch stops the analysis with the message that
// ends the program.
TEST(Fft2Scratch, InverseWithoutScratchStopsTheAnalysis) {
    fft_fast::release_all();
    std::vector<double> re(1024, 1.0), im(1024, 0.0);
    fft_fast::fail_next_allocations = 1;
    try {
        fft2(re.data(), im.data(), 10, 1);
        ADD_FAILURE() << "the transform went on";
    } catch (const AnalysisStop& stop) {
        EXPECT_EQ(stop.english, "fft2");
        EXPECT_TRUE(stop.owned);
        EXPECT_EQ(stop.status, 1);
    }
    fft_fast::fail_next_allocations = 0;
}

}  // namespace
}  // namespace dl
