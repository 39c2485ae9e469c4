#pragma once
// What the precise estimator keeps between peaks and blocks: the window kernels and the whiteners
// of their lines' noise for the few layouts in use (a steady run builds each once), and the room
// its search takes. One set an analyser.
#include <array>
#include <complex>
#include <cstddef>
#include <memory>
#include <vector>

#include "analysis/window_kernel.h"

namespace dl {

// The most lines one fit reads.
inline constexpr int kMostFittedLines = 9;
using FitVector = std::array<std::complex<double>, kMostFittedLines>;

// How the noise of evenly spaced lines correlates through the window, as the Cholesky factor of
// its covariance: dividing by it leaves noise that is white, so the fit weighs each line by what it
// tells. The covariance depends only on how far apart two lines are, so a fit of fewer lines uses
// the leading part of the factor for the most.
struct NoiseWhitener {
    int type = -1, m = 0, n = 0, spacing = 0;
    std::array<FitVector, kMostFittedLines> factor{};
    std::array<double, kMostFittedLines> inverse_diagonal{};  // the factor's diagonal is real

    // v := factor^-1 v over its first `count` lines.
    void apply(FitVector& v, int count) const {
        for (int i = 0; i < count; ++i) {
            std::complex<double> x = v[size_t(i)];
            for (int j = 0; j < i; ++j) x -= factor[size_t(i)][size_t(j)] * v[size_t(j)];
            v[size_t(i)] = x * inverse_diagonal[size_t(i)];
        }
    }
};

class PreciseTables {
public:
    // The kernel of window `type` over blocks of m samples (m >= 2).
    const WindowKernel& kernel(int type, int m);

    // The recent whiteners, and the one the next new layout replaces.
    std::array<NoiseWhitener, 4> whiteners{};
    size_t next_whitener = 0;
    // The line powers about a peak, as the search for a neighbouring tone gathers them.
    std::vector<double> around;

    // The peaks of one spectrum read so far (its line, where the fit placed it, whether it was
    // fitted): the tracker, the strongest line and the peak list read many of the same ones. Kept
    // only between remember_spectrum and forget_spectrum, for the spectrum named there.
    struct SpectrumFits {
        const double* re = nullptr;
        const double* im = nullptr;
        int n = 0, samples = 0, type = 0;
        int count = 0;
        std::array<int, 16> line{};
        std::array<double, 16> place{};
        std::array<bool, 16> fitted{};
    };
    SpectrumFits fits;
    void remember_spectrum(const double* re, const double* im, int n, int samples, int type) {
        fits = SpectrumFits{re, im, n, samples, type};
    }
    void forget_spectrum() { fits = SpectrumFits{}; }

private:
    std::array<std::unique_ptr<WindowKernel>, 4> kernels_;
};

}  // namespace dl
