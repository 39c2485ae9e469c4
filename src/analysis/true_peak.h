#pragma once
// The true peak of sound: the largest magnitude of the signal between its samples, read
// from the sound oversampled four times through the interpolation filter of the loudness standard.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

class TruePeak {
public:
    explicit TruePeak(int channels);
    // Interleaved frames: 16-bit samples, or fractions of full scale.
    void add(const int16_t* frames, size_t count);
    void add(const float* frames, size_t count);
    void reset();
    // The largest magnitude so far over all channels, as a fraction of full scale; never below
    // the largest sample.
    double peak() const { return peak_; }

private:
    template <class Sample>
    void add_frames(const Sample* frames, size_t count, float scale);

    int channels_;
    std::vector<float> history_;  // per channel, the last samples the filter still needs
    std::vector<float> work_;     // one channel's history and new samples in a row
    double peak_ = 0;
};

}  // namespace dl
