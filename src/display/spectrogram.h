#pragma once
// The spectrogram view: the spectrum over time in the graph area, the width spanning a chosen
// number of seconds and scrolling from right to left, frequency upwards on the log view's scale,
// level as colour.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dc.h"

namespace dl {

// Forgets the history: a run starts, the source or the view changes.
void ResetSpectrogram();
// One tick: the block's spectrum (display levels on the plain decibel scale) that stands for the
// sound `seconds` in fills the columns of the time since the last tick, entering at the right edge
// while the picture moves left; ticks within one column keep the loudest of them.
void DrawSpectrogram(Dc& target, const uint8_t* levels, int bins, double seconds);
// A picture of a whole sound of `seconds`: its start at the left edge, its end at the right.
void SpanSpectrogramOverWholeSound(double seconds);
// Seconds across the graph's width.
double SpectrogramSpan();
// The time axis under the graph: labels at `x` pixels from the graph's left edge, seconds back
// from now (0 at the right edge) or, for a picture of a whole sound, from its start.
struct SpectrogramTimeLabel {
    double x;
    double seconds;
    std::string text;
};
std::vector<SpectrogramTimeLabel> SpectrogramTimeLabels(int width);
// The whole history in the graph area, as the frame draws it.
void DrawSpectrogramHistory(Dc& dc);
// A label drawn over the picture at this tick; the next tick repairs what it covers.
void NoteSpectrogramLabel(int left, int top, int right, int bottom);

// Row of the graph (0 the top row) of a line position `bin` (fractional lines allowed) in a spectrum
// of `bins` lines: the log view's x turned upwards, so that Nyquist lands on the top edge.
int SpectrogramRow(double bin, int bins);
// Whether a line lies within the frequency range the spectrogram shows.
bool SpectrogramShows(double bin, int bins);
// The line position at the middle of a row, the inverse of SpectrogramRow.
double SpectrogramBinAtRow(int row, int bins);
// The colour index shown at graph column `column` (0 the left edge) and row `row`, or -1 where no
// block has been drawn yet.
int SpectrogramCell(int column, int row);

}  // namespace dl
