#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace dl {

// What a loudness meter measures; the fewer parts, the less each sample costs.
enum LoudnessPart : unsigned {
    kLoudnessMomentary = 1,   // the last 400 ms
    kLoudnessShortTerm = 2,   // the last 3 s
    kLoudnessIntegrated = 4,  // gated, from the start (or the last reset)
    kLoudnessRange = 8,       // the loudness range of the short-term values
    kLoudnessTruePeak = 16,   // from the signal oversampled four times
    kLoudnessSamplePeak = 32,
};

// Loudness as broadcasters and streaming services measure it: K-weighted, the integrated value
// gated at -70 LUFS and 10 LU below the ungated mean, the range from the short-term values between
// the 10th and 95th percentiles of those above -70 LUFS and 20 LU below their mean. Channels: 1,
// 2 (left, right), 5 (L, R, C, Ls, Rs) or 6 (the fourth, the LFE, not counted).
class LoudnessMeter {
public:
    // Null when there is no room for it, or the layout is not one of those above. `bounded`: the
    // integrated value and the range are taken from classes of 0.1 LU, in the same room however
    // long the sound runs (a measurement without end, such as a monitored input).
    static std::unique_ptr<LoudnessMeter> create(int channels, uint32_t rate, unsigned parts, bool bounded);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Interleaved frames of 16-bit samples. False when the meter ran out of room: the gated parts
    // then lack a value, so a caller that needs them whole gives the measurement up.
    bool add(const int16_t* frames, size_t count);
    // Interleaved frames as fractions of full scale.
    bool add(const float* frames, size_t count);
    // The measurement starts again; false when there was no room for it.
    bool reset();

    // LUFS, -infinity for silence (and for any part not measured). The momentary and short-term
    // values count the time before the first sample as silence.
    double momentary() const;
    double short_term() const;
    double integrated() const;
    // LU.
    double range() const;
    // The largest since the start over all channels, as a fraction of full scale (1.0 is 0 dBFS,
    // 0 dBTP); 0 when not measured.
    double true_peak() const;
    double sample_peak() const;

    int channels() const;
    uint32_t rate() const;
    unsigned parts() const;

private:
    bool ready() const;
    struct Impl;
    explicit LoudnessMeter(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace dl
