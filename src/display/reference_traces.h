#pragma once
#include <cstdint>
#include <vector>

#include "platform/dc.h"
#include "platform/colour.h"

namespace dl {

struct ReferenceSpectrum;

// The held references, each in its own colour, as traces on the graph of the linear or the log view
// of `bins` lines at the current source's rate. They are drawn behind the live spectrum.
bool ReferenceTracesShown();
void DrawReferenceTraces(Dc& target, int bins);

// Reference i's colour in the current scheme.
Rgb ReferenceColour(size_t i);

// A reference's display levels at the lines of an n-point spectrum at `rate`: its level at each
// line's frequency, taken between its own neighbouring frequencies, on the current scale; lines
// outside its frequencies lie on the floor.
void ReferenceDepths(const ReferenceSpectrum& r, int bins, double rate, std::vector<uint8_t>& out);

}  // namespace dl
