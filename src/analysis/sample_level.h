#pragma once
// The sample peak and the sum of squares of decoded sound, for the summary's level and power.
#include <cstddef>

namespace dl {

// Adds `count` samples (fractions of full scale) to a running peak and sum of squares. What lies
// below half the least step of 32-bit sound is a decoder's arithmetic, not sound: it counts as silence.
void AddSampleLevel(const float* samples, size_t count, double& peak, double& sum_squares);

}  // namespace dl
