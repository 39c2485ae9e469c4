#pragma once
// The transforms as plain radix-2 loops with their tables, step for step: slow, kept to check the
// shipped ones against.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace dl::reference {

struct Tables {
    int last_size = 0;
    std::vector<double> sine;
    std::vector<int32_t> bitrev;
};

void build_sine_table(std::vector<double>& t, int n);
void build_bitrev_table(std::vector<int32_t>& b, int n);

// Same contracts as dl::fft, dl::fft_direct and dl::fft2 (never out of memory).
int fft(int n, double* re, double* im, Tables& tables);
void fft_direct(double* re, double* im, int p, int sign);
void fft2(double* re, double* im, int p, int direction, Tables& tables);

// The textbook O(n^2) transform, forward (e^-, divided by n) or inverse (e^+, not divided),
// with angles reduced exactly.
void dft(int n, const double* re, const double* im, double* out_re, double* out_im, bool inverse);

}  // namespace dl::reference

// Signals and comparisons shared by the transform tests.
namespace dl::fft_test {

// Full scale of a 16-bit sample; the transforms must agree to 1e-12 of it.
inline constexpr double kFullScale = 32768.0;
inline constexpr double kTolerance = 1e-12 * kFullScale;

inline std::vector<double> random_signal(int n, uint32_t seed, double amplitude = kFullScale) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-amplitude, amplitude);
    std::vector<double> v(n);
    for (double& x : v) x = d(rng);
    return v;
}

inline std::vector<double> sine(int n, double amplitude, int bin, double phase = 0) {
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = amplitude * std::sin(2 * M_PI * static_cast<double>(bin) * i / n + phase);
    return v;
}

inline double max_difference(const std::vector<double>& a, const std::vector<double>& b) {
    double m = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) m = std::max(m, std::fabs(a[i] - b[i]));
    return a.size() == b.size() ? m : INFINITY;
}

}  // namespace dl::fft_test
