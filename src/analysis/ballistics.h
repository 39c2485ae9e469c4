#pragma once
#include <cstddef>
#include <cstdint>

#include "analysis/level_meters.h"

namespace dl {

// The constants of one kind of bar at one sample rate.
BallisticConstants MakeBallistics(Ballistics kind, uint32_t rate);

// A fresh bar (at rest, nothing heard) for these constants.
void ResetBallistics(const BallisticConstants& c, BallisticState& s);

// Runs `count` samples, every `stride`-th value of `samples`, through the bar and gives its
// reading over them as a fraction of full scale: the highest for the peak kinds (a burst between
// two ticks is not missed), the last for the averaging ones (RMS, VU).
double RunBallistics(const BallisticConstants& c, BallisticState& s, const int16_t* samples, size_t count,
                     size_t stride);

// The VU pointer's damping (an overshoot of 1.25 %) and its natural frequency in rad/s for 99 % of
// a step in 300 ms.
double VuDamping();
double VuNaturalFrequency();

}  // namespace dl
