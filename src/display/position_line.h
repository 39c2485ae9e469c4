#pragma once
#include <string>

#include "platform/dc.h"

namespace dl {

// Seconds of `bytes` of the source: their share of the exact length where it is known (a stream whose
// byte rate varies), else by the byte rate (a source without one has none).
double PositionSeconds(double bytes);
// The position line's text for `kb` kilobytes and `seconds`.
std::string PositionText(unsigned long kb, double seconds);
// The play or record position for the current source state.
std::string PositionLineText();
// The position once a memory-mode play's one buffer (ChunkSize bytes) has played.
std::string MemoryPlayEndText();
// Draws a position line's text in its place, (9X, 7Y), with the selected font and colours.
void DrawPositionText(Dc& dc, const std::string& text);
// Draws the position for the current source state.
void DrawPositionLine(Dc& dc);

}  // namespace dl
