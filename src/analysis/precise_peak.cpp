#include "analysis/precise_peak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "analysis/precise_tables.h"
#include "analysis/window_kernel.h"

namespace dl {

namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// The lines of the block's spectrum: negative ones are the conjugates of the positive ones.
Complex line_value(const double* re, const double* im, int k) {
    return k >= 0 ? Complex(re[k], im[k]) : Complex(re[-k], -im[-k]);
}

double line_power(const double* re, const double* im, int k) { return re[k] * re[k] + im[k] * im[k]; }

// Lines per bin of the block: how far apart the kernel's features lie in the transform's lines.
double lines_per_bin(PreciseTables& tables, int n, int m, int type) {
    const WindowKernel& k = tables.kernel(type, m);
    const int span = k.removes_mean() ? 2 * (m / 2) : m;
    return double(n) / std::max(span, 1);
}

constexpr int kMostLines = kMostFittedLines;
using Vector = FitVector;
using Whitener = NoiseWhitener;

const Whitener& whitener(PreciseTables& tables, const WindowKernel& kernel, int type, int n, int spacing) {
    std::array<Whitener, 4>& recent = tables.whiteners;
    const int m = kernel.length();
    for (const Whitener& w : recent)
        if (w.type == type && w.m == m && w.n == n && w.spacing == spacing) return w;
    Whitener& w = recent[tables.next_whitener];
    tables.next_whitener = (tables.next_whitener + 1) % recent.size();
    w = Whitener{};
    constexpr int count = kMostLines;
    std::array<Complex, kMostLines> lag{};
    for (int d = 0; d < count; ++d) lag[size_t(d)] = kernel.noise_at(2 * kPi * d * spacing / n);
    const double scale = lag[0].real() > 0 ? lag[0].real() : 1.0;
    std::array<Vector, kMostLines> t{};
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j)
            t[size_t(i)][size_t(j)] = (i >= j ? lag[size_t(i - j)] : std::conj(lag[size_t(j - i)])) / scale;
    // Cholesky: t = L L^H. A set whose noise is nearly dependent keeps a floor on the diagonal.
    for (int i = 0; i < count; ++i) {
        for (int j = 0; j <= i; ++j) {
            Complex sum = t[size_t(i)][size_t(j)];
            for (int k = 0; k < j; ++k) sum -= w.factor[size_t(i)][size_t(k)] * std::conj(w.factor[size_t(j)][size_t(k)]);
            if (i == j) w.factor[size_t(i)][size_t(i)] = std::sqrt(std::max(sum.real(), 1e-9));
            else w.factor[size_t(i)][size_t(j)] = sum / w.factor[size_t(j)][size_t(j)].real();
        }
    }
    for (int i = 0; i < count; ++i) w.inverse_diagonal[size_t(i)] = 1 / w.factor[size_t(i)][size_t(i)].real();
    w.type = type, w.m = m, w.n = n, w.spacing = spacing;
    return w;
}

// The lines of one peak and the kernel that shaped them; how much of their energy a tone at a
// given position explains.
class ToneFit {
public:
    ToneFit(const WindowKernel& kernel, const Whitener& white, const double* re, const double* im, int n, int first,
            int spacing, int count)
        : kernel_(kernel), white_(white), n_(n), count_(count), turns_(kernel.step_turns(2 * kPi * spacing / n)) {
        for (int i = 0; i < count; ++i) {
            const int k = first + i * spacing;
            theta_[size_t(i)] = 2 * kPi * k / n;
            y_[size_t(i)] = line_value(re, im, k);
            // The mean's share: the kernel at the line's distance from 0.
            if (kernel.removes_mean()) dc_[size_t(i)] = kernel.at(theta_[size_t(i)]);
        }
        white_.apply(y_, count_);
        for (int i = 0; i < count; ++i) energy_ += std::norm(y_[size_t(i)]);
    }

    double energy() const { return energy_; }

    // The energy of the lines a tone at `line` (fractional) explains, with its amplitude and phase
    // fitted by least squares: a e^(i w j) + conj(a) e^(-i w j), weighted, less its mean.
    double explained(double line) const {
        const double w = 2 * kPi * line / n_;
        Complex mean = 0;
        if (kernel_.removes_mean()) {
            const int m = kernel_.length();
            const double s = std::sin(0.5 * w);
            const double d = std::fabs(s) < 1e-300 ? 1.0 : std::sin(0.5 * m * w) / (m * s);
            mean = d * Complex(std::cos(0.5 * w * (m - 1)), std::sin(0.5 * w * (m - 1)));
        }
        // y = p (u + v) + q i (u - v) for a = p + i q.
        Vector a{}, b{}, u{}, v{};
        kernel_.at_steps(theta_[0] - w, turns_, count_, u.data());
        kernel_.at_steps(theta_[0] + w, turns_, count_, v.data());
        for (int i = 0; i < count_; ++i) {
            const size_t s = size_t(i);
            if (kernel_.removes_mean()) {
                u[s] -= mean * dc_[s];
                v[s] -= std::conj(mean) * dc_[s];
            }
            a[s] = u[s] + v[s];
            b[s] = Complex(0, 1) * (u[s] - v[s]);
        }
        white_.apply(a, count_);
        white_.apply(b, count_);
        double g11 = 0, g22 = 0, g12 = 0, r1 = 0, r2 = 0;
        for (int i = 0; i < count_; ++i) {
            const size_t s = size_t(i);
            g11 += std::norm(a[s]);
            g22 += std::norm(b[s]);
            g12 += (std::conj(a[s]) * b[s]).real();
            r1 += (std::conj(a[s]) * y_[s]).real();
            r2 += (std::conj(b[s]) * y_[s]).real();
        }
        const double det = g11 * g22 - g12 * g12;
        if (det > 1e-12 * g11 * g22) return (g22 * r1 * r1 - 2 * g12 * r1 * r2 + g11 * r2 * r2) / det;
        // At 0 and at half the rate the tone and its image coincide: one regressor is left.
        if (g11 >= g22) return g11 > 0 ? r1 * r1 / g11 : 0;
        return r2 * r2 / g22;
    }

private:
    const WindowKernel& kernel_;
    const Whitener& white_;
    int n_ = 0, count_ = 0;
    WindowKernel::StepTurns turns_;  // radians from one line of the fit to the next, as rotations
    double energy_ = 0;
    std::array<double, kMostLines> theta_{};
    Vector y_{}, dc_{};
};

// The position in [lo, hi] where f is largest, by Brent's method (golden sections with parabolic
// steps).
template <class F>
double maximise(F f, double lo, double hi, double tolerance) {
    constexpr double golden = 0.3819660112501051;
    double x = lo + golden * (hi - lo), w = x, v = x;
    double fx = -f(x), fw = fx, fv = fx;
    double d = 0, e = 0;
    for (int iteration = 0; iteration < 100; ++iteration) {
        const double mid = 0.5 * (lo + hi);
        const double tol1 = tolerance + 1e-12 * std::fabs(x), tol2 = 2 * tol1;
        if (std::fabs(x - mid) <= tol2 - 0.5 * (hi - lo)) break;
        bool parabolic = false;
        if (std::fabs(e) > tol1) {
            double r = (x - w) * (fx - fv), q = (x - v) * (fx - fw), p = (x - v) * q - (x - w) * r;
            q = 2 * (q - r);
            if (q > 0) p = -p;
            q = std::fabs(q);
            if (std::fabs(p) < std::fabs(0.5 * q * e) && p > q * (lo - x) && p < q * (hi - x)) {
                e = d;
                d = p / q;
                const double u = x + d;
                if (u - lo < tol2 || hi - u < tol2) d = x < mid ? tol1 : -tol1;
                parabolic = true;
            }
        }
        if (!parabolic) {
            e = (x < mid ? hi : lo) - x;
            d = golden * e;
        }
        const double u = std::fabs(d) >= tol1 ? x + d : x + (d > 0 ? tol1 : -tol1);
        const double fu = -f(u);
        if (fu <= fx) {
            (u < x ? hi : lo) = x;
            v = w, fv = fw;
            w = x, fw = fx;
            x = u, fx = fu;
        } else {
            (u < x ? lo : hi) = u;
            if (fu <= fw || w == x) {
                v = w, fv = fw;
                w = u, fw = fu;
            } else if (fu <= fv || v == x || v == w) {
                v = u, fv = fu;
            }
        }
    }
    return x;
}

// How far (in lines) the nearest other tone stands from the peak at line b, looking `reach` lines
// either way: a maximum beyond the peak's own flanks with a hundredth of its power or more, standing
// out of the noise about them (the median line, 12 dB down). Past `reach` when there is none.
double nearest_tone(std::vector<double>& around, const double* re, const double* im, int n, int b, int reach,
                    int flank) {
    const int half = n / 2;
    const double p = line_power(re, im, b);
    int nearest = reach + 1;
    for (int k = std::max(1, b - reach); k <= std::min(half - 2, b + reach); ++k) {
        if (std::abs(k - b) <= flank || std::abs(k - b) >= nearest) continue;
        const double pk = line_power(re, im, k);
        if (pk > 0.01 * p && pk > line_power(re, im, k - 1) && pk > line_power(re, im, k + 1)) nearest = std::abs(k - b);
    }
    if (nearest > reach) return nearest;
    around.clear();
    const int outer = 4 * reach + 16;
    for (int k = std::max(1, b - outer); k <= std::min(half - 1, b + outer); ++k)
        if (std::abs(k - b) > reach) around.push_back(line_power(re, im, k));
    if (around.size() < 8) return nearest;
    const auto mid = around.begin() + long(around.size() / 2);
    std::nth_element(around.begin(), mid, around.end());
    const double floor = 16 * *mid;
    nearest = reach + 1;
    for (int k = std::max(1, b - reach); k <= std::min(half - 2, b + reach); ++k) {
        if (std::abs(k - b) <= flank || std::abs(k - b) >= nearest) continue;
        const double pk = line_power(re, im, k);
        if (pk > 0.01 * p && pk > floor && pk > line_power(re, im, k - 1) && pk > line_power(re, im, k + 1))
            nearest = std::abs(k - b);
    }
    return nearest;
}

}  // namespace

double LinesPerBin(PreciseTables& tables, int n, int samples, int type) {
    const int m = std::min(samples, n);
    return m < 2 ? double(n) : lines_per_bin(tables, n, m, type);
}

double MainLobeLines(PreciseTables& tables, int n, int samples, int type) {
    const int m = std::min(samples, n);
    if (m < 2) return n;
    return tables.kernel(type, m).lobe_half_width() * lines_per_bin(tables, n, m, type);
}

double LowestResolvedLine(PreciseTables& tables, int n, int samples, int type) {
    return std::max(1.0, MainLobeLines(tables, n, samples, type));
}

namespace {

PreciseLine fit_peak_line(PreciseTables& tables, const double* re, const double* im, int n, int b, int samples,
                          int type);

}  // namespace

PreciseLine PrecisePeakLine(PreciseTables& tables, const double* re, const double* im, int n, int b, int samples,
                            int type) {
    PreciseTables::SpectrumFits& f = tables.fits;
    const bool same = f.re == re && f.im == im && f.n == n && f.samples == samples && f.type == type && re;
    if (same) {
        for (int i = 0; i < f.count; ++i)
            if (f.line[size_t(i)] == b) return {f.place[size_t(i)], f.fitted[size_t(i)]};
    }
    const PreciseLine out = fit_peak_line(tables, re, im, n, b, samples, type);
    if (same && f.count < int(f.line.size())) {
        f.line[size_t(f.count)] = b;
        f.place[size_t(f.count)] = out.line;
        f.fitted[size_t(f.count)] = out.fitted;
        ++f.count;
    }
    return out;
}

namespace {

PreciseLine fit_peak_line(PreciseTables& tables, const double* re, const double* im, int n, int b, int samples,
                          int type) {
    PreciseLine out;
    out.line = b;
    const int half = n / 2;
    const int m = std::min(samples, n);
    // Too few samples for a window to shape, or a peak with nothing beside it.
    if (m < 8 || half < 4 || b <= 0 || b >= half) return out;
    const WindowKernel& kernel = tables.kernel(type, m);
    const double per_bin = lines_per_bin(tables, n, m, type);
    const double lobe = kernel.lobe_half_width() * per_bin;

    // Lines about a bin of the block apart: as many as fit before another tone's main lobe begins,
    // none when one stands within this peak's own.
    const int s = std::max(1, int(per_bin));
    const int widest = kMostLines / 2;
    const double other =
        nearest_tone(tables.around, re, im, n, b, int(std::ceil(lobe)) + widest * s, std::max(1, s / 2));
    if (other < lobe) return out;
    int side = widest;
    while (side > 1 && side * s + lobe > other) --side;
    const int count = 2 * side + 1;
    // Shifted inwards at the top of the spectrum: its half-rate line is not the signal's.
    int first = b - side * s;
    if (first + (count - 1) * s > half - 1) first = half - 1 - (count - 1) * s;
    if (first < -(half - 1) || first + (count - 1) * s > half - 1) return out;
    const Whitener& white = whitener(tables, kernel, type, n, s);
    const ToneFit fit(kernel, white, re, im, n, first, s, count);
    if (!(fit.energy() > 0)) return out;

    const double lo = b - s, hi = b + s;
    // A ten-millionth of a line: far below what any block's noise leaves.
    const double best = maximise([&](double x) { return fit.explained(x); }, lo, hi, 1e-7 * s);
    const double unexplained = 1 - fit.explained(best) / fit.energy();
    // Run to the bracket's end, or a poor fit: not one tone.
    if (!std::isfinite(best) || best - lo < 1e-6 * s || hi - best < 1e-6 * s || !(unexplained < 0.2)) return out;
    out.line = best;
    out.fitted = true;
    return out;
}

}  // namespace

}  // namespace dl
