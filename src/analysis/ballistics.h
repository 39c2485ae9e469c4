#pragma once
#include <cstddef>
#include <cstdint>

#include "state/meters.h"

namespace dl {

// How one kind of bar moves at one sample rate. Every kind reads a steady sine at its peak level,
// so the kinds differ only in how they follow changes.
struct BallisticConstants {
    Ballistics kind = Ballistics::SamplePeak;
    double attack = 1;     // PPM: the share of the distance to a higher sample closed per sample
    double fall = 1;       // PPM: the factor per sample while the wave stays below the reading
    double gain = 1;       // what makes a steady sine read its peak
    double vu[2][2] = {};  // VU: the pointer's position and speed from one sample to the next
    double vu_in[2] = {};  // and what the sample adds to them
    size_t window = 1;     // RMS: samples in 300 ms
};

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
