#pragma once
#include <cstdint>
#include <vector>

namespace dl {

// The graph's amplitude scale both ways: the level in dB that a display level (depth below the
// graph's top, 0..255) shows on the current scale, and the depth a level in dB is drawn at. The
// spectrogram's levels are always on the plain decibel scale.
double DepthDecibels(int depth);
uint8_t DecibelsDepth(double decibels);

// The round levels in dB strictly inside the chosen range, top down, for its grid and labels.
std::vector<int> RangeGridDecibels();
// The row of the graph a level in dB is drawn at on the chosen range.
int RangeDecibelRow(double decibels);

}  // namespace dl
