#pragma once
#include <cstdint>
#include <string>

#include "platform/dc.h"

namespace dl {

// Character cell of the font the peak labels were last drawn in.
struct LabelFontRecord {
    int width = 8;
    int height = 12;
};
inline LabelFontRecord LabelFont;

// Labels the strongest peaks of the transformed spectrum (re/im of n points, strongest line
// `strongest`) on the graph, steers the pointer by chords and updates the A4 read-out.
void ListPeaks(Dc& target, const double* re, const double* im, int strongest, int n, uint32_t byte_count);
// The same, with the peak candidates already in TickPeakCandidates when `gathered`.
void ListPeaksGathered(Dc& target, const double* re, const double* im, int strongest, int n, uint32_t byte_count,
                       bool gathered);

// Frequency of the peak at line b refined from its neighbours in the complex spectrum; `samples`
// is the block's sample count, `rate` the sample rate.
double RefinePeakFrequency(const double* re, const double* im, int b, int n, int samples, double rate);

// Text output of the labels: past the screen's right edge on the off-screen surface the text is
// composed at the surface's origin and copied into place.
void DrawLabel(Dc& dc, int x, int y, const std::string& text, int length);

}  // namespace dl
