#include "analysis/true_peak.h"

#include <algorithm>
#include <cmath>

namespace dl {

namespace {

constexpr int kTaps = 12;
constexpr size_t kChunk = 1024;

// The four phases of the 48-tap interpolating filter, oldest sample first.
constexpr float kPhases[4][kTaps] = {
    {0.0017089843750f, 0.0109863281250f, -0.0196533203125f, 0.0332031250000f, -0.0594482421875f, 0.1373291015625f,
     0.9721679687500f, -0.1022949218750f, 0.0476074218750f, -0.0266113281250f, 0.0148925781250f, -0.0083007812500f},
    {-0.0291748046875f, 0.0292968750000f, -0.0517578125000f, 0.0891113281250f, -0.1665039062500f, 0.4650878906250f,
     0.7797851562500f, -0.2003173828125f, 0.1015625000000f, -0.0582275390625f, 0.0330810546875f, -0.0189208984375f},
    {-0.0189208984375f, 0.0330810546875f, -0.0582275390625f, 0.1015625000000f, -0.2003173828125f, 0.7797851562500f,
     0.4650878906250f, -0.1665039062500f, 0.0891113281250f, -0.0517578125000f, 0.0292968750000f, -0.0291748046875f},
    {-0.0083007812500f, 0.0148925781250f, -0.0266113281250f, 0.0476074218750f, -0.1022949218750f, 0.9721679687500f,
     0.1373291015625f, -0.0594482421875f, 0.0332031250000f, -0.0196533203125f, 0.0109863281250f, 0.0017089843750f},
};

}  // namespace

TruePeak::TruePeak(int channels)
    : channels_(std::max(channels, 1)),
      history_(size_t(channels_) * (kTaps - 1), 0.0f),
      work_(kChunk + kTaps - 1),
      sum_(kChunk) {}

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
            // Each phase over the whole chunk: the loops over samples are the ones that vectorise.
            for (const auto& phase : kPhases) {
                float* s = sum_.data();
                std::fill(s, s + n, 0.0f);
                for (int k = 0; k < kTaps; ++k) {
                    const float h = phase[k];
                    const float* xk = x + k;
                    for (size_t i = 0; i < n; ++i) s[i] += h * xk[i];
                }
                for (size_t i = 0; i < n; ++i) largest = std::max(largest, std::fabs(s[i]));
            }
        }
    }
    peak_ = std::max(peak_, double(largest));
}

void TruePeak::add(const int16_t* frames, size_t count) { add_frames(frames, count, 1.0f / 32768.0f); }
void TruePeak::add(const float* frames, size_t count) { add_frames(frames, count, 1.0f); }

}  // namespace dl
