#pragma once
#include <string>

#include "platform/dc.h"
#include "state/analysis.h"

namespace dl {

// The meter strip's panel and rows, in client pixels.
struct MeterStripLayout {
    int left = 0, top = 0, right = 0, bottom = 0;  // the black panel
    int bar_left = 0, bar_right = 0;               // where -60 and 0 dB lie
    int peak_right = 0, rms_right = 0;             // the figures' right edges
    int row_height = 0;
    int row(int i) const { return top + row_height / 4 + i * row_height; }
};
// Rows: 0 and 1 the channels, 2 the scale; with the loudness 3 its bar and 4 its figures.
MeterStripLayout MeterStripGeometry();

// The x of a level on the strip's scale, -60 dB at bar_left to 0 dB at bar_right (clamped).
int MeterStripX(const MeterStripLayout& g, double db);

// A loudness target in tenths of LUFS as the strip and the menu show it: "-23", "-16.5".
std::string TargetText(int tenths);

// A figure of the strip: one decimal, "---" for silence or no value.
std::string MeterFigure(double db);

// Draws the whole strip with these readings (nothing when level_meter is 0).
void DrawMeterStrip(Dc& dc, const MeterStripReading& r);

// Whether a client point lies on the strip (a click there resets the loudness).
bool InMeterStrip(int x, int y);

}  // namespace dl
