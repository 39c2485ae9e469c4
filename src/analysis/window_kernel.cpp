#include "analysis/window_kernel.h"

#include "analysis/precise_tables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "analysis/precise_tables.h"
#include "analysis/window_table.h"

namespace dl {

namespace {

constexpr double kPi = std::numbers::pi;

// sin(m x / 2) / sin(x / 2), m at the multiples of 2 pi where it is 0 / 0.
double dirichlet(double x, int m) {
    const double d = std::sin(0.5 * x);
    if (std::fabs(d) < 1e-300) {
        const double turns = std::round(x / (2 * kPi));
        return (int64_t(turns) * (m - 1)) % 2 == 0 ? m : -m;
    }
    return std::sin(0.5 * m * x) / d;
}

// e^(i phase): std::polar wants a magnitude that is not negative, and the kernels' amplitudes change sign.
std::complex<double> turn(double phase) { return {std::cos(phase), std::sin(phase)}; }

}  // namespace

const WindowKernel& PreciseTables::kernel(int type, int m) {
    std::array<std::unique_ptr<WindowKernel>, 4>& recent = kernels_;
    for (size_t i = 0; i < recent.size(); ++i) {
        if (recent[i] && recent[i]->type_ == type && recent[i]->m_ == m) {
            std::rotate(recent.begin(), recent.begin() + long(i), recent.begin() + long(i) + 1);
            return *recent[0];
        }
    }
    std::rotate(recent.begin(), recent.end() - 1, recent.end());
    recent[0] = std::make_unique<WindowKernel>(type, m);
    return *recent[0];
}

WindowKernel::WindowKernel(int type, int m) : type_(type), m_(std::max(m, 2)) {
    rectangular_ = type == kRectangularWindow;
    if (rectangular_) {
        bins_ = 2 * kPi / m_;
        lobe_ = 1;
        return;
    }
    h_ = std::min(m_ / 2, kWindowTableSize);
    odd_ = (m_ & 1) != 0;
    centre_ = h_ - 0.5;
    bins_ = 2 * kPi / (2 * h_);
    std::vector<double> w(static_cast<size_t>(h_));
    fill_window(type, h_, w.data());
    edge_ = h_ > 0 ? w[0] : 0;
    squares_.assign(size_t(m_), 1.0);
    for (int i = 0; i < h_; ++i) squares_[size_t(i)] = squares_[size_t(2 * h_ - 1 - i)] = w[size_t(i)] * w[size_t(i)];

    tabulate(near_, kNearSteps, kNearReach, w);
    tabulate(far_, kFarSteps, kFarReach, w);

    // The main lobe ends at the first minimum of |A|.
    lobe_ = kNearReach;
    for (int j = 1; j + 1 < near_.points; ++j) {
        if (std::fabs(near_.value[size_t(j)]) <= std::fabs(near_.value[size_t(j) + 1])) {
            lobe_ = double(j) / kNearSteps;
            break;
        }
    }
}

void WindowKernel::tabulate(Table& t, int steps, int reach, const std::vector<double>& w) {
    // A(theta) = 2 sum_i w[i] cos(theta (centre - i)) and its slope. The cosines come from a
    // rotation, renewed now and then so its error stays at rounding level.
    t.step = 1.0 / steps;
    t.points = steps * reach + 2;
    t.value.assign(size_t(t.points), 0.0);
    t.slope.assign(size_t(t.points), 0.0);
    t.envelope.assign(size_t(t.points), 0.0);
    for (int j = 0; j < t.points; ++j) {
        const double theta = bins_ * j * t.step;
        const std::complex<double> step = turn(theta);
        double a = 0, da = 0;
        std::complex<double> z;
        for (int i = h_ - 1; i >= 0; --i) {
            const double d = centre_ - i;
            if ((h_ - 1 - i) % 1024 == 0) z = turn(theta * d);
            a += w[size_t(i)] * z.real();
            da -= w[size_t(i)] * d * z.imag();
            z *= step;
        }
        t.value[size_t(j)] = 2 * a;
        t.slope[size_t(j)] = 2 * da * bins_;  // per bin
    }
    // The envelope past a distance: the largest magnitude at that distance or beyond.
    double largest = 0;
    for (int j = t.points - 1; j >= 0; --j) {
        largest = std::max(largest, std::fabs(t.value[size_t(j)]));
        t.envelope[size_t(j)] = largest;
    }
}

double WindowKernel::Table::at(double u) const {
    const double x = u / step;
    const size_t j = size_t(x);
    const double t = x - double(j);
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * value[j] + (t3 - 2 * t2 + t) * step * slope[j] + (-2 * t3 + 3 * t2) * value[j + 1] +
           (t3 - t2) * step * slope[j + 1];
}

double WindowKernel::amplitude(double u) const {
    u = std::fabs(u);
    if (u < kNearReach) return near_.at(u);
    if (u < kFarReach) return far_.at(u);
    // sum over the symmetric part of edge * e^(-i theta (j - centre)): the far field of a window
    // that does not fall to 0 at its ends.
    const double theta = u * bins_;
    const double d = std::sin(0.5 * theta);
    return std::fabs(d) < 1e-300 ? 0.0 : edge_ * std::sin(h_ * theta) / d;
}

std::complex<double> WindowKernel::at(double theta) const {
    if (rectangular_) return dirichlet(theta, m_) * turn(-theta * 0.5 * (m_ - 1));
    // The kernel repeats every 2 pi; the table holds the part near 0.
    const double wrapped = theta - 2 * kPi * std::round(theta / (2 * kPi));
    std::complex<double> k = amplitude(wrapped / bins_) * turn(-wrapped * centre_);
    if (odd_) k += turn(-theta * (m_ - 1));
    return k;
}

WindowKernel::StepTurns WindowKernel::step_turns(double step) const {
    StepTurns t;
    t.step = step;
    if (rectangular_) {
        t.half = turn(0.5 * step), t.whole = turn(0.5 * m_ * step), t.phase = turn(-0.5 * (m_ - 1) * step);
    } else {
        t.phase = turn(-step * centre_), t.edge = turn(-step * (m_ - 1));
    }
    return t;
}

void WindowKernel::at_steps(double first, double step, int count, std::complex<double>* out) const {
    at_steps(first, step_turns(step), count, out);
}

void WindowKernel::at_steps(double first, const StepTurns& turns, int count, std::complex<double>* out) const {
    const double step = turns.step;
    if (rectangular_) {
        // sin(m x / 2) / sin(x / 2) e^(-i x (m - 1) / 2), each factor turned along.
        std::complex<double> half = turn(0.5 * first), whole = turn(0.5 * m_ * first), phase = turn(-0.5 * (m_ - 1) * first);
        for (int j = 0; j < count; ++j) {
            const double d = half.imag();
            out[j] = std::fabs(d) < 1e-9 ? at(first + j * step) : whole.imag() / d * phase;
            half *= turns.half, whole *= turns.whole, phase *= turns.phase;
        }
        return;
    }
    // The symmetric part's phase is turned along unwrapped; a point past pi is read at its alias,
    // whose phase differs by a half turn for each whole turn.
    std::complex<double> phase = turn(-first * centre_), edge = turn(-first * (m_ - 1));
    for (int j = 0; j < count; ++j) {
        const double theta = first + j * step;
        const double turns_here = std::round(theta / (2 * kPi));
        const double a = amplitude((theta - 2 * kPi * turns_here) / bins_);
        std::complex<double> k = (int64_t(turns_here) % 2 == 0 ? a : -a) * phase;
        if (odd_) k += edge;
        out[j] = k;
        phase *= turns.phase, edge *= turns.edge;
    }
}

std::complex<double> WindowKernel::noise_at(double theta) const {
    if (rectangular_) return at(theta);
    const std::complex<double> step = turn(-theta);
    std::complex<double> z = 1, sum = 0;
    for (int j = 0; j < m_; ++j) {
        if (j % 1024 == 0) z = turn(-theta * j);
        sum += squares_[size_t(j)] * z;
        z *= step;
    }
    return sum;
}

double WindowKernel::sidelobe_bound(double u) const {
    u = std::fabs(u);
    if (u < lobe_) return 1;
    if (rectangular_) {
        const double s = 1 / (kPi * std::max(u - 0.5, 0.5));
        return std::min(1.0, s * s);
    }
    const double top = near_.value[0];
    if (!(top > 0)) return 1;
    const Table& t = u < kNearReach ? near_ : far_;
    const size_t j = size_t(u / t.step);
    if (j < size_t(t.points)) {
        const double r = t.envelope[j] / top;
        return r * r;
    }
    // Past the tables: at least 6 dB an octave down from their last envelope.
    const double r = far_.envelope.back() / top * kFarReach / u;
    return r * r;
}

}  // namespace dl
