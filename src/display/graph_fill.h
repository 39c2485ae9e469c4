#pragma once
#include <cstdint>
#include <vector>

#include "platform/dc.h"

namespace dl::graph {

// One closed run [lo, hi] of rows per pixel column (empty when lo > hi).
struct Band {
    std::vector<int16_t> lo, hi;
    void reset(int columns);
    int columns() const { return int(lo.size()); }
    void add(int column, int y) {
        if (y < lo[column]) lo[column] = int16_t(y);
        if (y > hi[column]) hi[column] = int16_t(y);
    }
    void add(int column, int from, int to) {
        if (from < lo[column]) lo[column] = int16_t(from);
        if (to > hi[column]) hi[column] = int16_t(to);
    }
};

// Adds to the band the pixels that the context's line_to draws from (x0, y0) to (x1, y1), end
// point excluded; columns are relative to the band's origin and those outside it are dropped.
void AddLinePixels(Band& band, int x0, int y0, int x1, int y1);

// The union of two bands as colour changes of the picture's first `columns` columns, in palette
// colour `colour`; columns from `columns` on (outside the picture) are filled directly at
// (ox, oy) and rows relative to it.
void AddBandChanges(ColumnPicture& picture, const Band& a, const Band& b, uint8_t colour, Dc& dc, int ox, int oy,
                    Rgb outside);

}  // namespace dl::graph
