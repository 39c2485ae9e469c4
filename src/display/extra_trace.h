#pragma once
#include <cstdint>

#include "platform/dc.h"

namespace dl {

// A trace of display levels (0 top .. 255 bottom, one per line of `bins`) drawn over the graph of
// the linear or the log view in one colour, each column at its strongest line, the columns joined.
// Held levels, a second channel and overlays all draw through it. Other views draw nothing.
void DrawExtraTrace(Dc& target, const uint8_t* levels, int bins, Rgb colour);

// The colours of the extra traces in the current scheme.
Rgb SecondTraceColour();
Rgb MaxHoldColour();
Rgb MinHoldColour();

}  // namespace dl
