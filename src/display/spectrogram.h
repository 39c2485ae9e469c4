#pragma once
// The spectrogram view: the spectrum over time in the graph area, one column per analysed block
// scrolling from right to left, frequency upwards on the log view's scale, level as colour.
#include <cstdint>

#include "platform/dc.h"

namespace dl {

// Forgets the history: a run starts, the source or the view changes.
void ResetSpectrogram();
// One tick: the picture moves one column to the left and the block's spectrum (display levels on
// the plain decibel scale) enters at the right edge.
void DrawSpectrogram(Dc& target, const uint8_t* levels, int bins);
// The whole history in the graph area, as the frame draws it.
void DrawSpectrogramHistory(Dc& dc);
// A label drawn over the picture at this tick; the next tick repairs what it covers.
void NoteSpectrogramLabel(int left, int top, int right, int bottom);

// Row of the graph (0 the top row) of a line position `bin` (fractional lines allowed) in a spectrum
// of `bins` lines: the log view's x turned upwards, so that Nyquist lands on the top edge.
int SpectrogramRow(double bin, int bins);
// The line position at the middle of a row, the inverse of SpectrogramRow.
double SpectrogramBinAtRow(int row, int bins);
// The colour index shown at graph column `column` (0 the left edge) and row `row`, or -1 where no
// block has been drawn yet.
int SpectrogramCell(int column, int row);

}  // namespace dl
