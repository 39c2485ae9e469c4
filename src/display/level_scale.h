#pragma once
#include <cstdint>

namespace dl {

// The graph's amplitude scale both ways: the level in dB that a display level (depth below the
// graph's top, 0..255) shows on the current scale, and the depth a level in dB is drawn at. The
// spectrogram's levels are always on the plain decibel scale.
double DepthDecibels(int depth);
uint8_t DecibelsDepth(double decibels);

}  // namespace dl
