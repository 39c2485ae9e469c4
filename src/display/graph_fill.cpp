#include "display/graph_fill.h"

#include <algorithm>
#include <cstdlib>

namespace dl::graph {

void FillStanding(Dc& dc, int ox, int oy, const int16_t* edge, int n, int base, Rgb colour) {
    static std::vector<int16_t> top, bottom;
    top.resize(size_t(n));
    bottom.assign(size_t(n), int16_t(oy + base));
    for (int c = 0; c < n; ++c) top[c] = int16_t(oy + edge[c]);
    dc.fill_column_runs(ox, top.data(), bottom.data(), n, colour);
}

void FillHanging(Dc& dc, int ox, int oy, const int16_t* edge, int n, int base, Rgb colour) {
    static std::vector<int16_t> top, bottom;
    top.assign(size_t(n), int16_t(oy + base));
    bottom.resize(size_t(n));
    for (int c = 0; c < n; ++c) bottom[c] = int16_t(oy + edge[c]);
    dc.fill_column_runs(ox, top.data(), bottom.data(), n, colour);
}

void Band::reset(int columns) {
    lo.assign(size_t(columns), INT16_MAX);
    hi.assign(size_t(columns), INT16_MIN);
}

void FillBand(Dc& dc, int ox, int oy, const Band& band, Rgb colour) {
    static std::vector<int16_t> top, bottom;
    const int n = int(band.lo.size());
    top.resize(size_t(n));
    bottom.resize(size_t(n));
    for (int c = 0; c < n; ++c) {
        // An empty column (lo > hi) gives an empty run.
        top[c] = int16_t(oy + band.lo[c]);
        bottom[c] = band.lo[c] > band.hi[c] ? top[c] : int16_t(oy + band.hi[c] + 1);
    }
    dc.fill_column_runs(ox, top.data(), bottom.data(), n, colour);
}

void AddLinePixels(Band& band, int x0, int y0, int x1, int y1) {
    const int n = int(band.lo.size());
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    // The same walk as the context's line drawing, so the pixels are exactly the ones it would set.
    while (!(x0 == x1 && y0 == y1)) {
        if (x0 >= 0 && x0 < n) band.add(x0, y0);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

}  // namespace dl::graph
