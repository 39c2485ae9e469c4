#pragma once
// The spectrogram's colours: a perceptually uniform map from dark (quiet) to bright (loud).
#include <array>
#include <cstdint>

#include "platform/colour.h"

namespace dl {

// Entry 0 is the colour of -96 dB and below, entry 255 of full scale.
const std::array<Rgb, 256>& SpectrogramColours();

// The colour index of a display level on the plain decibel scale (0 full scale, 2.3487 steps a
// decibel): the 96 dB of the decibel scale spread over the 256 entries.
uint8_t SpectrogramIndexOfLevel(uint8_t level);
// The decibels below full scale that a colour index stands for (0 .. -96).
double SpectrogramIndexDecibels(int index);

}  // namespace dl
