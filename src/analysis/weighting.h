#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

// Frequency weightings of sound-level measurement: Z (none), A and C, as analytic curves
// normalised to 0 dB at 1 kHz.
enum class Weighting { Z = 0, A = 1, C = 2 };

// The weighting's gain in decibels at `hz` (-inf at 0 Hz for A and C).
double WeightingDecibels(Weighting w, double hz);

// Power gain of every line 0..n/2-1 of an n-point spectrum at `rate`.
std::vector<double> WeightingPowerGains(Weighting w, int n, double rate);

// The weighting as a filter on samples at a rate: the curve's poles as first-order sections, each
// corner prewarped so that the bilinear transform keeps it where the curve has it, and the whole
// scaled to pass 1 kHz unchanged. Z passes the samples as they are.
class WeightingFilter {
public:
    void design(Weighting w, double rate);
    Weighting weighting() const { return weighting_; }
    double rate() const { return rate_; }
    // Forgets the past samples.
    void reset();
    // Filters `count` samples `stride` apart from `in` into `out` (the same spacing), carrying
    // the filter's state on from the last call; the output is held to the 16-bit range.
    void run(const int16_t* in, int16_t* out, size_t count, size_t stride);

private:
    struct Section {
        double b0 = 1, b1 = 0, a1 = 0;
        double x1 = 0, y1 = 0;
    };
    Weighting weighting_ = Weighting::Z;
    double rate_ = 0;
    double gain_ = 1;
    std::vector<Section> sections_;
};

}  // namespace dl
