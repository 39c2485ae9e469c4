#include "analysis/k_weighting.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

namespace dl {

namespace {

// Weights of the channels as the loudness standard counts them: the surrounds count 1.41 times,
// the LFE (the fourth of six) not at all.
std::array<double, 6> weights(int channels) {
    switch (channels) {
        case 1: return {1, 0, 0, 0, 0, 0};
        case 2: return {1, 1, 0, 0, 0, 0};
        case 5: return {1, 1, 1, 1.41, 1.41, 0};
        case 6: return {1, 1, 1, 0, 1.41, 1.41};
        default: return {};
    }
}

// Two channels' values in one register: every operation works on both at once, each exactly as
// it would alone.
using Pair = double __attribute__((vector_size(16)));

// One filter's step: the new state value from the input, then the output from the state. `Value`
// is a double, or a Pair for two filters side by side.
template <class Value>
struct KFilter {
    const double* a;
    const double* b;
    Value v1, v2, v3, v4;
    Value step(Value x) {
        // The last step's value enters last: each step then waits on one product and one
        // difference, not on four differences, and the rest is worked out while it waits.
        const Value v0 = (x - a[2] * v2 - a[3] * v3 - a[4] * v4) - a[1] * v1;
        const Value y = b[0] * v0 + b[1] * v1 + b[2] * v2 + b[3] * v3 + b[4] * v4;
        v4 = v3;
        v3 = v2;
        v2 = v1;
        v1 = v0;
        return y;
    }
};

}  // namespace

KWeighting::KWeighting(int channels, uint32_t rate)
    : channels_(std::clamp(channels, 1, 6)), weight_(weights(channels)), state_(size_t(channels_)) {
    // A high shelf of +4 dB above about 1.7 kHz (the head's effect), then a high-pass at about
    // 38 Hz, each a second-order stage, multiplied into one.
    const double pi = std::numbers::pi, fs = rate > 0 ? double(rate) : 1.0;
    double K = std::tan(pi * 1681.974450955533 / fs), Q = 0.7071752369554196;
    const double Vh = std::pow(10.0, 3.999843853973347 / 20.0), Vb = std::pow(Vh, 0.4996667741545416);
    const double a0 = 1.0 + K / Q + K * K;
    const double shelf_b[3] = {(Vh + Vb * K / Q + K * K) / a0, 2.0 * (K * K - Vh) / a0, (Vh - Vb * K / Q + K * K) / a0};
    const double shelf_a[3] = {1.0, 2.0 * (K * K - 1.0) / a0, (1.0 - K / Q + K * K) / a0};
    K = std::tan(pi * 38.13547087602444 / fs);
    Q = 0.5003270373238773;
    const double pass_b[3] = {1.0, -2.0, 1.0};
    const double pass_a[3] = {1.0, 2.0 * (K * K - 1.0) / (1.0 + K / Q + K * K), (1.0 - K / Q + K * K) / (1.0 + K / Q + K * K)};
    for (int i = 0; i < 5; ++i) {
        b_[i] = a_[i] = 0;
        for (int j = std::max(0, i - 2); j <= std::min(i, 2); ++j) {
            b_[i] += shelf_b[j] * pass_b[i - j];
            a_[i] += shelf_a[j] * pass_a[i - j];
        }
    }
}

void KWeighting::reset() {
    for (auto& s : state_) s.fill(0.0);
}

void KWeighting::weigh(const int16_t* frames, size_t count, double* energy) {
    weigh_frames(frames, count, 32768.0, energy);
}
void KWeighting::weigh(const float* frames, size_t count, double* energy) { weigh_frames(frames, count, 1.0, energy); }

template <class Sample>
void KWeighting::weigh_frames(const Sample* in, size_t n, double scale, double* weighted) {
    const size_t C = size_t(channels_);
    // The scales are powers of two: multiplying by the inverse gives the quotient exactly, at a
    // fraction of a division's cost.
    const double inverse = 1.0 / scale;
    // A filter left ringing in silence would sink into subnormal numbers, which cost many times a
    // normal one: what small is left at the end of a piece counts as nothing.
    auto flush = [](double v) { return std::fabs(v) < DBL_MIN ? 0.0 : v; };
    auto load = [&](size_t c) {
        return KFilter<double>{a_, b_, state_[c][1], state_[c][2], state_[c][3], state_[c][4]};
    };
    auto keep = [&](size_t c, double v1, double v2, double v3, double v4) {
        state_[c] = {0.0, flush(v1), flush(v2), flush(v3), flush(v4)};
    };
    if (C == 2) {
        // The two channels side by side.
        auto pair = [&](int k) { return Pair{state_[0][size_t(k)], state_[1][size_t(k)]}; };
        KFilter<Pair> f{a_, b_, pair(1), pair(2), pair(3), pair(4)};
        for (size_t i = 0; i < n; ++i) {
            const Pair y = f.step(Pair{double(in[2 * i]), double(in[2 * i + 1])} * inverse);
            weighted[i] = weight_[0] * (y[0] * y[0]) + weight_[1] * (y[1] * y[1]);
        }
        keep(0, f.v1[0], f.v2[0], f.v3[0], f.v4[0]);
        keep(1, f.v1[1], f.v2[1], f.v3[1], f.v4[1]);
        return;
    }
    std::fill(weighted, weighted + n, 0.0);
    for (size_t c = 0; c < C; ++c) {
        const double w = weight_[c];
        if (w == 0) continue;
        KFilter<double> f = load(c);
        for (size_t i = 0; i < n; ++i) {
            const double y = f.step(double(in[i * C + c]) * inverse);
            weighted[i] += w * (y * y);
        }
        keep(c, f.v1, f.v2, f.v3, f.v4);
    }
}

}  // namespace dl
