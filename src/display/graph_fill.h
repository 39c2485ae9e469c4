#pragma once
#include <cstdint>
#include <vector>

#include "platform/dc.h"

namespace dl::graph {

// Shapes made of one vertical run per pixel column. Rows are relative to `oy`, columns to `ox`.

// Rows [edge[c], base) of column c.
void FillStanding(Dc& dc, int ox, int oy, const int16_t* edge, int n, int base, Rgb colour);
// Rows [base, edge[c]) of column c.
void FillHanging(Dc& dc, int ox, int oy, const int16_t* edge, int n, int base, Rgb colour);

// One closed run [lo, hi] per column (empty when lo > hi).
struct Band {
    std::vector<int16_t> lo, hi;
    void reset(int columns);
    void add(int column, int y) {
        if (y < lo[column]) lo[column] = int16_t(y);
        if (y > hi[column]) hi[column] = int16_t(y);
    }
    void add(int column, int from, int to) {
        if (from < lo[column]) lo[column] = int16_t(from);
        if (to > hi[column]) hi[column] = int16_t(to);
    }
};
void FillBand(Dc& dc, int ox, int oy, const Band& band, Rgb colour);

// Adds to the band the pixels that the context's line_to draws from (x0, y0) to (x1, y1), end
// point excluded; columns are relative to the band's origin.
void AddLinePixels(Band& band, int x0, int y0, int x1, int y1);

}  // namespace dl::graph
