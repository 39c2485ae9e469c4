#include "analysis/weighting.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

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

std::vector<double> WeightingPowerGains(Weighting w, int n, double rate) {
    std::vector<double> gains(size_t(std::max(n / 2, 0)), 1.0);
    for (int k = 0; k < n / 2; ++k) gains[size_t(k)] = std::pow(10.0, WeightingDecibels(w, rate * k / n) / 10);
    return gains;
}

void WeightingFilter::design(Weighting w, double rate) {
    weighting_ = w;
    rate_ = rate;
    sections_.clear();
    gain_ = 1;
    if (w == Weighting::Z || !(rate > 0)) return;
    // A: four zeros at 0 Hz, poles at f1 (twice), f2, f3 and f4 (twice); C: two zeros, f1 and f4 twice.
    struct Pole {
        double hz;
        bool zero_at_dc;
    };
    std::vector<Pole> poles = {{f1, true}, {f1, true}, {f4, false}, {f4, false}};
    if (w == Weighting::A) poles.insert(poles.end(), {{f2, true}, {f3, true}});
    const double c = 2 * rate;
    for (const Pole& p : poles) {
        // A corner at or above half the rate cannot be kept: it stays just below.
        const double hz = std::min(p.hz, 0.49 * rate);
        const double wc = c * std::tan(std::numbers::pi * hz / rate);
        Section s;
        s.a1 = (wc - c) / (c + wc);
        s.b0 = (p.zero_at_dc ? c : wc) / (c + wc);
        s.b1 = p.zero_at_dc ? -s.b0 : s.b0;
        sections_.push_back(s);
    }
    // The response at 1 kHz, to scale it to 0 dB there.
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * std::min(1000.0, 0.45 * rate) / rate);
    std::complex<double> h = 1;
    for (const Section& s : sections_) h *= (s.b0 + s.b1 * z1) / (1.0 + s.a1 * z1);
    gain_ = std::abs(h) > 0 ? 1 / std::abs(h) : 1;
}

void WeightingFilter::reset() {
    for (Section& s : sections_) s.x1 = s.y1 = 0;
}

void WeightingFilter::run(const int16_t* in, int16_t* out, size_t count, size_t stride) {
    for (size_t i = 0; i < count; ++i) {
        double v = in[i * stride];
        for (Section& s : sections_) {
            double y = s.b0 * v + s.b1 * s.x1 - s.a1 * s.y1;
            if (std::fabs(y) < 1e-20) y = 0;  // silence decays to nothing, not to subnormals
            s.x1 = v;
            s.y1 = y;
            v = y;
        }
        out[i * stride] = int16_t(std::clamp(std::lround(v * gain_), -32768L, 32767L));
    }
}

}  // namespace dl
