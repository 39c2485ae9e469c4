#pragma once
// The weighting every loudness measure starts from: each channel through the K-weighting filter
// (a high shelf for the head, then a high-pass), squared, and the channels added with their weights.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

class KWeighting {
public:
    // Channels 1, 2 (left, right), 5 (L, R, C, Ls, Rs) or 6 (the fourth, the LFE, not counted).
    KWeighting(int channels, uint32_t rate);

    // Each frame's weighted energy into `energy` (`count` values), from interleaved frames of
    // 16-bit samples or fractions of full scale.
    void weigh(const int16_t* frames, size_t count, double* energy);
    void weigh(const float* frames, size_t count, double* energy);
    void reset();

    int channels() const { return channels_; }

private:
    template <class Sample>
    void weigh_frames(const Sample* frames, size_t count, double scale, double* energy);

    int channels_;
    std::array<double, 6> weight_{};  // 0: the channel is not counted
    double b_[5] = {}, a_[5] = {};    // the two stages as one fourth-order filter
    std::vector<std::array<double, 5>> state_;
};

}  // namespace dl
