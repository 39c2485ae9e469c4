#include "analysis/weighting.h"

#include <cmath>
#include <algorithm>
#include <limits>

namespace dl {

namespace {

// The poles of the curves, in hertz.
constexpr double f1 = 20.598997, f2 = 107.65265, f3 = 737.86223, f4 = 12194.217;

double a_response(double hz) {
    const double s = hz * hz;
    return f4 * f4 * s * s / ((s + f1 * f1) * std::sqrt((s + f2 * f2) * (s + f3 * f3)) * (s + f4 * f4));
}

double c_response(double hz) {
    const double s = hz * hz;
    return f4 * f4 * s / ((s + f1 * f1) * (s + f4 * f4));
}

}  // namespace

double WeightingDecibels(Weighting w, double hz) {
    if (w == Weighting::Z) return 0;
    if (!(hz > 0)) return -std::numeric_limits<double>::infinity();
    // Each curve's response at 1 kHz, so that 1 kHz passes unchanged.
    static const double a1k = a_response(1000), c1k = c_response(1000);
    return w == Weighting::A ? 20 * std::log10(a_response(hz) / a1k) : 20 * std::log10(c_response(hz) / c1k);
}

const std::vector<double>& WeightingPowerGains(Weighting w, int n, double rate) {
    static std::vector<double> gains;
    static Weighting cached_w = Weighting::Z;
    static int cached_n = -1;
    static double cached_rate = -1;
    if (w == cached_w && n == cached_n && rate == cached_rate) return gains;
    cached_w = w;
    cached_n = n;
    cached_rate = rate;
    gains.assign(size_t(std::max(n / 2, 0)), 1.0);
    for (int k = 0; k < n / 2; ++k) gains[size_t(k)] = std::pow(10.0, WeightingDecibels(w, rate * k / n) / 10);
    return gains;
}

}  // namespace dl
