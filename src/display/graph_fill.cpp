#include "display/graph_fill.h"

#include <algorithm>
#include <cstdlib>

namespace dl::graph {

void Band::reset(int columns) {
    lo.assign(size_t(columns), INT16_MAX);
    hi.assign(size_t(columns), INT16_MIN);
}

void AddLinePixels(Band& band, int x0, int y0, int x1, int y1) {
    const int n = band.columns();
    const int dx = std::abs(x1 - x0), d = std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    auto put = [&](int a, int from, int to) {  // steps from..to along y in column step a
        const int x = x0 + sx * a;
        if (from > to || x < 0 || x >= n) return;
        const int ya = y0 + sy * from, yb = y0 + sy * to;
        band.add(x, std::min(ya, yb), std::max(ya, yb));
    };
    if (dx == 0) {
        put(0, 0, d - 1);
        return;
    }
    // The context's walk (error term dx - d, end point excluded) in closed form, a column at a
    // time: in column step a the line keeps stepping along y until twice its error reaches -d,
    // i.e. while 2dx(1 + b) < d(2a + 1) for the y steps b taken so far; the x step that ends the
    // column takes a y step with it when dx(2b + 1) <= 2d(1 + a).
    int b = 0;
    for (int a = 0; a < dx; ++a) {
        const int64_t need = (int64_t(d) * (2 * a + 1) + 2 * int64_t(dx) - 1) / (2 * int64_t(dx)) - 1;
        const int to = int(std::max<int64_t>(b, need));
        put(a, b, to);
        b = to + (int64_t(dx) * (2 * int64_t(to) + 1) <= 2 * int64_t(d) * (1 + a) ? 1 : 0);
    }
    put(dx, b, d - 1);
}

void AddBandChanges(ColumnPicture& picture, const Band& a, const Band& b, uint8_t colour, Dc& dc, int ox, int oy,
                    Rgb outside) {
    const int n = std::min(a.columns(), b.columns());
    for (int c = 0; c < n; ++c) {
        int lo1 = a.lo[c], hi1 = a.hi[c], lo2 = b.lo[c], hi2 = b.hi[c];
        if (lo1 > hi1) {
            lo1 = lo2;
            hi1 = hi2;
            lo2 = INT16_MAX;
            hi2 = INT16_MIN;
        }
        if (lo1 > hi1) continue;
        if (lo2 <= hi2) {
            if (lo2 < lo1) {
                std::swap(lo1, lo2);
                std::swap(hi1, hi2);
            }
            if (lo2 <= hi1 + 1) {  // overlapping or touching: one run
                hi1 = std::max(hi1, hi2);
                lo2 = INT16_MAX;
                hi2 = INT16_MIN;
            }
        }
        if (c >= picture.columns) {
            dc.fill_rect(ox + c, oy + lo1, ox + c + 1, oy + hi1 + 1, outside);
            if (lo2 <= hi2) dc.fill_rect(ox + c, oy + lo2, ox + c + 1, oy + hi2 + 1, outside);
            continue;
        }
        const int16_t col = int16_t(c);
        picture.changes.push_back({col, int16_t(lo1), colour});
        picture.changes.push_back({col, int16_t(hi1 + 1), ColumnPicture::kBackground});
        if (lo2 <= hi2) {
            picture.changes.push_back({col, int16_t(lo2), colour});
            picture.changes.push_back({col, int16_t(hi2 + 1), ColumnPicture::kBackground});
        }
    }
}

}  // namespace dl::graph
