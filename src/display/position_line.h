#pragma once
#include <string>

#include "platform/dc.h"

namespace dl {

// The play or record position for the current source state.
std::string PositionLineText();
// Draws it at (9X, 7Y) with the selected font and colours.
void DrawPositionLine(Dc& dc);

}  // namespace dl
