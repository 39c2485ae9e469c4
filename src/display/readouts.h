#pragma once
// The read-outs of a block's analysis: their texts, as drawn, and their drawing.
#include <string>

#include "platform/dc.h"
#include "state/analysis.h"

namespace dl {

// Digits after the point of a frequency figure: none from 999.95 Hz on, one from 99.995, two from
// 9.9995, three below.
int FrequencyDecimals(double frequency);
// The figure of a frequency, padded on the left to `width` characters.
std::string FrequencyFigure(double frequency, int width);

// "Peak  440.7Hz  " and its level, "-12db   " or "0.512 ".
std::string PeakReadoutText(double frequency);
std::string PeakLevelText(const LevelFigure& level);
// "A4pitch 441.4Hz   6cent".
std::string A4ReadoutText(double frequency, double cents);

// The "Peak" read-out and its level at the top left of the source panel.
void DrawPeakReadout(Dc& dc, const BlockAnalysis& a);
// The "A4pitch" read-out, drawn on the window itself.
void DrawA4Readout(const BlockAnalysis& a);

}  // namespace dl
