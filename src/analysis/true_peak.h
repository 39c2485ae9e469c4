#pragma once
// The true peak of sound: the largest magnitude of the signal between its samples, read
// from the sound oversampled four times through the interpolation filter of the loudness standard.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

inline constexpr int kTruePeakTaps = 12;
// The four phases of the standard's 48-tap interpolating filter, oldest sample first.
inline constexpr float kTruePeakPhases[4][kTruePeakTaps] = {
    {0.0017089843750f, 0.0109863281250f, -0.0196533203125f, 0.0332031250000f, -0.0594482421875f, 0.1373291015625f,
     0.9721679687500f, -0.1022949218750f, 0.0476074218750f, -0.0266113281250f, 0.0148925781250f, -0.0083007812500f},
    {-0.0291748046875f, 0.0292968750000f, -0.0517578125000f, 0.0891113281250f, -0.1665039062500f, 0.4650878906250f,
     0.7797851562500f, -0.2003173828125f, 0.1015625000000f, -0.0582275390625f, 0.0330810546875f, -0.0189208984375f},
    {-0.0189208984375f, 0.0330810546875f, -0.0582275390625f, 0.1015625000000f, -0.2003173828125f, 0.7797851562500f,
     0.4650878906250f, -0.1665039062500f, 0.0891113281250f, -0.0517578125000f, 0.0292968750000f, -0.0291748046875f},
    {-0.0083007812500f, 0.0148925781250f, -0.0266113281250f, 0.0476074218750f, -0.1022949218750f, 0.9721679687500f,
     0.1373291015625f, -0.0594482421875f, 0.0332031250000f, -0.0196533203125f, 0.0109863281250f, 0.0017089843750f},
};

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
