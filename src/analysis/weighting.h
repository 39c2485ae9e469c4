#pragma once
#include <vector>

namespace dl {

// Frequency weightings of sound-level measurement: Z (none), A and C, as analytic curves
// normalised to 0 dB at 1 kHz.
enum class Weighting { Z = 0, A = 1, C = 2 };

// The weighting's gain in decibels at `hz` (-inf at 0 Hz for A and C).
double WeightingDecibels(Weighting w, double hz);

// Power gain of every line 0..n/2-1 of an n-point spectrum at `rate`, cached against its inputs.
const std::vector<double>& WeightingPowerGains(Weighting w, int n, double rate);

}  // namespace dl
