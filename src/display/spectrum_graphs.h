#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dc.h"

namespace dl {

// Per-tick graphs of the views; levels[i] is the depth of bin i below the graph's top (0..255).
void DrawLinearSpectrum(Dc& target, const uint8_t* levels, int bins);
void DrawLogSpectrum(Dc& target, const uint8_t* levels, int bins);
void ScrollTuningLines(Dc& target);
// The graph of the current view for the display levels of an n-point spectrum of the block that
// stands for the sound `seconds` in.
void DrawViewGraph(Dc& target, int n, const uint8_t* levels, double seconds);
void DrawAmplitudeGrid(Dc& target);

// Frame texts drawn by DrawFrame.
void DrawAmplitudeScale(Dc& dc);
void DrawLinearFrequencyLabels(Dc& dc, int khz, double top_frequency);
void DrawLogFrequencyLabels(Dc& dc, int khz, int bins);
// The log view's frequency labels, highest first: the text, its line position, and whether a crowded
// axis leaves it out.
struct LogFrequencyLabel {
    std::string text;
    double bin;
    bool skipped;
};
std::vector<LogFrequencyLabel> LogFrequencyLabels(int khz, int bins);
void DrawNoteLegend(Dc& dc, int x0, int y0, int h);

// The colour of a pitch class (12: DC) in the current scheme.
Rgb CreateNoteBrush(int pitch_class);
int PitchClass(int bin, int bins, uint32_t rate);
void DrawSurfaceText(Dc& target, int x, int y, const std::string& text, int length);

}  // namespace dl
