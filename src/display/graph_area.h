#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/dc.h"
#include "state/layout_units.h"

namespace dl {

// The graph's rectangle in the client area: every view draws into it, the frame around it and the
// pointer read-outs take their places from it. Right and bottom are one past the last column and row.
inline int GraphLeft() { return CellWidth; }
inline int GraphTop() { return 13 * CellHeight; }
inline int GraphRight() { return CellWidth + GraphWidth; }
inline int GraphBottom() { return 13 * CellHeight + GraphHeight; }
inline bool InGraph(int x, int y) {
    return x >= GraphLeft() && x < GraphRight() && y >= GraphTop() && y < GraphBottom();
}
// The row of the frequency labels under the graph.
inline int FrequencyAxisTop() { return GraphBottom() + 4; }
// The graph as drawn on `from` (the memory surface) onto `to`.
inline void CopyGraph(Dc& to, Dc& from) {
    to.bit_blt(GraphLeft(), GraphTop(), GraphWidth, GraphHeight, from, GraphLeft(), GraphTop());
}

// The linear frequency axis: the lines spread evenly over the columns (at power-of-two widths a
// whole number of lines per column, or of columns per line).
struct LinearAxis {
    LinearAxis(int bins, int width) : bins(std::max(bins, 1)), width(width) {}
    int column(int line) const { return int((int64_t(line) * width) / bins); }
    // The line position (fractional) at the left edge of column c.
    double line_at(double c) const { return c * bins / width; }
    int bins, width;
};

// The log frequency axis over `extent` pixels (the graph's width, the spectrogram's rows): line
// position 0.5 at offset 0, the top line `bins` at the far end.
struct LogAxis {
    LogAxis(int bins, int extent) : span(std::log(2.0 * bins)), extent(extent) {}
    double offset(double line) const { return std::log(2 * line) / span * extent; }
    double line_at(double offset) const { return std::exp(offset * span / extent) / 2; }
    double span;
    int extent;
};

// The display levels (0 at the top .. 255 at the floor) and the scales' rows are counted on 256
// rows; a taller graph spreads them over its height.
inline int LevelRow(int level) { return GraphHeight == 256 ? level : (level * GraphHeight + 128) >> 8; }
inline double ScaleRow(double row_of_256) { return row_of_256 * GraphHeight / 256.0; }

// The amplitude axis of the decibel scales: the row of the grid line at 2^-2k of full scale
// (k = 1..8; the expanded scale k = 0..4).
inline int DecibelRow(int k) { return GraphTop() + int(ScaleRow(-20.5 * std::log(std::ldexp(1.0, -2 * k)))); }
inline int ExpandedDecibelRow(int k) {
    return GraphTop() + int(ScaleRow(-40.8 * std::log(std::ldexp(1.0, -2 * k)) + 11));
}

}  // namespace dl
