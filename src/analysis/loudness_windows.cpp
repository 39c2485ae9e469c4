#include "analysis/loudness_windows.h"

#include <algorithm>
#include <cmath>

namespace dl {

namespace {

// Frames a run holds: a read adds at most this many frames one by one.
constexpr size_t kRun = 256;

double to_lufs(double energy) {
    if (!(energy > 0)) return -HUGE_VAL;
    const double lufs = 10 * std::log10(energy) - 0.691;
    return lufs > kQuietestLufs ? lufs : -HUGE_VAL;
}

}  // namespace

LoudnessWindows::LoudnessWindows(uint32_t rate, bool short_term)
    : frames_100ms_((size_t(rate) + 5) / 10),
      kept_(frames_100ms_ * (short_term ? 30 : 4)),
      energy_(kept_ + kRun, 0.0),
      run_sum_(kept_ / kRun + 2, 0.0) {}

void LoudnessWindows::reset() {
    std::fill(energy_.begin(), energy_.end(), 0.0);
    std::fill(run_sum_.begin(), run_sum_.end(), 0.0);
    open_sum_ = 0;
    written_ = 0;
    at_ = run_at_ = in_run_ = 0;
}

void LoudnessWindows::add(const double* e, size_t n) {
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
