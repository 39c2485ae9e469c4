#include "analysis/true_peak.h"

#include <algorithm>
#include <cmath>

namespace dl {

namespace {

constexpr int kTaps = kTruePeakTaps;
constexpr size_t kChunk = 1024;

// The four phases' outputs at sample i of x (which holds kTaps - 1 samples before it), each summed
// tap by tap from the oldest, as one phase at a time over a chunk would sum it.
inline void interpolate(const float* x, size_t i, float out[4]) {
    for (int p = 0; p < 4; ++p) out[p] = 0.0f;
    for (int k = 0; k < kTaps; ++k)
        for (int p = 0; p < 4; ++p) out[p] += kTruePeakPhases[p][k] * x[i + size_t(k)];
}

// The largest magnitude the four phases give over n samples of x. Built twice, for AVX2 and for
// any x86-64, chosen when the program loads; without FMA the two give the same sums to the last
// bit. Eight outputs side by side keep their sums in registers, and eight running maxima let the
// comparisons vectorise: a NaN is passed over in each as in one running maximum, and the largest
// is the same in any order.
__attribute__((target_clones("avx2", "default"))) float largest_interpolated(const float* __restrict x, size_t n) {
    float lane[8] = {};
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (size_t j = 0; j < 8; ++j) {
            float y[4];
            interpolate(x, i + j, y);
            for (float v : y) {
                const float a = std::fabs(v);
                lane[j] = lane[j] < a ? a : lane[j];
            }
        }
    float largest = 0;
    for (; i < n; ++i) {
        float y[4];
        interpolate(x, i, y);
        for (float v : y) largest = std::max(largest, std::fabs(v));
    }
    for (float m : lane) largest = std::max(largest, m);
    return largest;
}

}  // namespace

TruePeak::TruePeak(int channels)
    : channels_(std::max(channels, 1)),
      history_(size_t(channels_) * (kTaps - 1), 0.0f),
      work_(kChunk + kTaps - 1) {}

void TruePeak::reset() {
    std::fill(history_.begin(), history_.end(), 0.0f);
    peak_ = 0;
}

template <class Sample>
void TruePeak::add_frames(const Sample* frames, size_t count, float scale) {
    const size_t C = size_t(channels_);
    float largest = 0;
    for (size_t start = 0; start < count; start += kChunk) {
        const size_t n = std::min(kChunk, count - start);
        for (size_t c = 0; c < C; ++c) {
            // The channel's samples in a row, after the ones the filter still needs.
            float* x = work_.data();
            float* past = history_.data() + c * (kTaps - 1);
            std::copy(past, past + kTaps - 1, x);
            const Sample* in = frames + start * C + c;
            for (size_t i = 0; i < n; ++i) {
                const float v = float(in[i * C]) * scale;
                x[kTaps - 1 + i] = v;
                largest = std::max(largest, std::fabs(v));
            }
            std::copy(x + n, x + n + kTaps - 1, past);
            largest = std::max(largest, largest_interpolated(x, n));
        }
    }
    peak_ = std::max(peak_, double(largest));
}

void TruePeak::add(const int16_t* frames, size_t count) { add_frames(frames, count, 1.0f / 32768.0f); }
void TruePeak::add(const float* frames, size_t count) { add_frames(frames, count, 1.0f); }

}  // namespace dl
