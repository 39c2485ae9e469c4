#include "analysis/loudness_windows.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

namespace dl {

namespace {

// Frames a run holds: a read adds at most this many frames one by one.
constexpr size_t kRun = 256;

double to_lufs(double energy) {
    if (!(energy > 0)) return -HUGE_VAL;
    const double lufs = 10 * std::log10(energy) - 0.691;
    return lufs > kQuietestLufs ? lufs : -HUGE_VAL;
}

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

}  // namespace

LoudnessWindows::LoudnessWindows(int channels, uint32_t rate, bool short_term)
    : channels_(std::clamp(channels, 1, 6)),
      weight_(weights(channels)),
      state_(size_t(channels_)),
      frames_100ms_((size_t(rate) + 5) / 10),
      kept_(frames_100ms_ * (short_term ? 30 : 4)),
      energy_(kept_ + kRun, 0.0),
      run_sum_(kept_ / kRun + 2, 0.0) {
    // The K-weighting: a high shelf of +4 dB above about 1.7 kHz (the head's effect), then a
    // high-pass at about 38 Hz, each a second-order stage, multiplied into one.
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

void LoudnessWindows::reset() {
    for (auto& s : state_) s.fill(0.0);
    std::fill(energy_.begin(), energy_.end(), 0.0);
    std::fill(run_sum_.begin(), run_sum_.end(), 0.0);
    open_sum_ = 0;
    written_ = 0;
    at_ = run_at_ = in_run_ = 0;
}

void LoudnessWindows::add(const int16_t* frames, size_t count) { add_frames(frames, count, 32768.0); }
void LoudnessWindows::add(const float* frames, size_t count) { add_frames(frames, count, 1.0); }

namespace {

// One filter's step: the new state value from the input, then the output from the state.
struct KFilter {
    const double* a;
    const double* b;
    double v1, v2, v3, v4;
    double step(double x) {
        const double v0 = x - a[1] * v1 - a[2] * v2 - a[3] * v3 - a[4] * v4;
        const double y = b[0] * v0 + b[1] * v1 + b[2] * v2 + b[3] * v3 + b[4] * v4;
        v4 = v3;
        v3 = v2;
        v2 = v1;
        v1 = v0;
        return y;
    }
};

}  // namespace

template <class Sample>
void LoudnessWindows::add_frames(const Sample* frames, size_t count, double scale) {
    const size_t C = size_t(channels_);
    // A filter left ringing in silence would sink into subnormal numbers, which cost many times a
    // normal one: what small is left at the end of a piece counts as nothing.
    auto flush = [](double v) { return std::fabs(v) < DBL_MIN ? 0.0 : v; };
    auto load = [&](size_t c) { return KFilter{a_, b_, state_[c][1], state_[c][2], state_[c][3], state_[c][4]}; };
    auto keep = [&](size_t c, const KFilter& f) { state_[c] = {0.0, flush(f.v1), flush(f.v2), flush(f.v3), flush(f.v4)}; };
    // A piece at a time, the filters' states held in registers through it.
    double weighted[512];
    for (size_t start = 0; start < count; start += std::size(weighted)) {
        const size_t n = std::min(std::size(weighted), count - start);
        const Sample* in = frames + start * C;
        if (C == 2) {
            // The two channels side by side: each filter waits on its own last step, not on the other's.
            KFilter l = load(0), r = load(1);
            for (size_t i = 0; i < n; ++i) {
                const double yl = l.step(double(in[2 * i]) / scale), yr = r.step(double(in[2 * i + 1]) / scale);
                weighted[i] = weight_[0] * (yl * yl) + weight_[1] * (yr * yr);
            }
            keep(0, l);
            keep(1, r);
        } else {
            std::fill(weighted, weighted + n, 0.0);
            for (size_t c = 0; c < C; ++c) {
                const double w = weight_[c];
                if (w == 0) continue;
                KFilter f = load(c);
                for (size_t i = 0; i < n; ++i) {
                    const double y = f.step(double(in[i * C + c]) / scale);
                    weighted[i] += w * (y * y);
                }
                keep(c, f);
            }
        }
        add_energies(weighted, n);
    }
}

void LoudnessWindows::add_energies(const double* e, size_t n) {
    // Held in locals through the loop: a store into the ring could otherwise be taken to change
    // the running sum, which would go through memory at every frame.
    double* const ring = energy_.data();
    const size_t ring_size = energy_.size();
    size_t at = at_, in_run = in_run_;
    double open = open_sum_;
    for (size_t i = 0; i < n;) {
        // Up to the end of the run or of the ring, whichever comes first.
        const size_t m = std::min({n - i, kRun - in_run, ring_size - at});
        std::copy(e + i, e + i + m, ring + at);
        for (size_t k = 0; k < m; ++k) open += e[i + k];
        i += m;
        at += m;
        if (at == ring_size) at = 0;
        in_run += m;
        if (in_run == kRun) {
            run_sum_[run_at_] = open;
            if (++run_at_ == run_sum_.size()) run_at_ = 0;
            open = 0;
            in_run = 0;
        }
    }
    at_ = at;
    in_run_ = in_run;
    open_sum_ = open;
    written_ += n;
}

double LoudnessWindows::mean_energy(size_t frames) const {
    if (frames == 0 || frames > kept_) return 0;
    const uint64_t t = written_, s = t > frames ? t - frames : 0;
    double sum = 0;
    auto frames_from = [&](uint64_t from, uint64_t to) {
        for (uint64_t f = from; f < to; ++f) sum += energy_[size_t(f % energy_.size())];
    };
    const uint64_t open_start = t / kRun * kRun;
    if (s >= open_start) {
        frames_from(s, t);
    } else {
        sum = open_sum_;
        const uint64_t first_whole = (s + kRun - 1) / kRun;
        for (uint64_t r = first_whole; r < open_start / kRun; ++r) sum += run_sum_[size_t(r % run_sum_.size())];
        frames_from(s, first_whole * kRun);
    }
    // The time before the first frame is silence: the mean is over the whole window.
    return sum / double(frames);
}

double LoudnessWindows::momentary() const { return to_lufs(mean_energy(frames_100ms_ * 4)); }

double LoudnessWindows::short_term() const { return to_lufs(mean_energy(frames_100ms_ * 30)); }

}  // namespace dl
