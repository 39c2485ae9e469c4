#pragma once
#include <cstdint>
#include <string>

#include "platform/dc.h"

namespace dl {

// Texts of the source panel lines for the current SourceInfo.
std::string KhzLineText();
std::string BitLineText();
std::string LengthLineText();
// How long the open source lasts: exactly where the stream tells it, else by its byte rate.
double SourceSeconds();

// Draws the rate and bits lines (with the selected font and colours).
void DrawFormatLines(Dc& dc);
void DrawLengthLine(Dc& dc);

}  // namespace dl
