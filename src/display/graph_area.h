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

// The linear frequency axis: lines per pixel column where the lines outnumber the columns, else
// columns per line.
struct LinearAxis {
    LinearAxis(int bins, int width)
        : lines_per_column(std::max(bins / width, 1)), columns_per_line(std::max(width / bins, 1)) {}
    int column(int line) const { return int((int64_t(line) * columns_per_line) / lines_per_column); }
    // The line position (fractional) at the left edge of column c.
    double line_at(double c) const { return c * lines_per_column / columns_per_line; }
    int lines_per_column, columns_per_line;
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

// The amplitude axis of the decibel scales: the row of the grid line at 2^-2k of full scale
// (k = 1..8; the expanded scale k = 0..4).
inline int DecibelRow(int k) { return int(GraphTop() - 20.5 * std::log(std::ldexp(1.0, -2 * k))); }
inline int ExpandedDecibelRow(int k) { return int(GraphTop() - 40.8 * std::log(std::ldexp(1.0, -2 * k)) + 11); }

}  // namespace dl
