#include "display/graph_fill.h"

#include <algorithm>
#include <cstdlib>

namespace dl::graph {

namespace {

struct Step {
    int start;
    int height;
};

std::vector<Step>& Stack() {
    static std::vector<Step> s;
    return s;
}

// Decomposes the histogram of heights(c) (rows counted away from `base`) into rectangles and hands
// each one over as (first column, end column, lower height, upper height).
template <class Height, class Emit>
void Skyline(int n, Height height, Emit emit) {
    std::vector<Step>& st = Stack();
    st.clear();
    for (int c = 0; c <= n; ++c) {
        const int h = c < n ? height(c) : 0;
        int start = c;
        while (!st.empty() && st.back().height > h) {
            const Step top = st.back();
            st.pop_back();
            const int lower = std::max(h, st.empty() ? 0 : st.back().height);
            emit(top.start, c, lower, top.height);
            start = top.start;
        }
        if (h > 0 && (st.empty() || st.back().height < h)) st.push_back({start, h});
    }
}

}  // namespace

void FillStanding(Dc& dc, int ox, int oy, const int16_t* edge, int n, int base, Rgb colour) {
    Skyline(
        n, [&](int c) { return std::max(0, base - edge[c]); },
        [&](int c0, int c1, int lower, int upper) {
            dc.fill_rect(ox + c0, oy + base - upper, ox + c1, oy + base - lower, colour);
        });
}

void FillHanging(Dc& dc, int ox, int oy, const int16_t* edge, int n, int base, Rgb colour) {
    Skyline(
        n, [&](int c) { return std::max(0, edge[c] - base); },
        [&](int c0, int c1, int lower, int upper) {
            dc.fill_rect(ox + c0, oy + base + lower, ox + c1, oy + base + upper, colour);
        });
}

void Band::reset(int columns) {
    lo.assign(size_t(columns), INT16_MAX);
    hi.assign(size_t(columns), INT16_MIN);
}

void FillBand(Dc& dc, int ox, int oy, const Band& band, Rgb colour) {
    static std::vector<int16_t> edge;
    const int n = int(band.lo.size());
    edge.resize(size_t(n) + 1);
    int c = 0;
    while (c < n) {
        if (band.lo[c] > band.hi[c]) {
            ++c;
            continue;
        }
        // The longest run of columns sharing at least one row.
        int L = band.lo[c], H = band.hi[c];
        int e = c + 1;
        while (e < n && band.lo[e] <= band.hi[e]) {
            const int l2 = std::max(L, int(band.lo[e])), h2 = std::min(H, int(band.hi[e]));
            if (l2 > h2) break;
            L = l2;
            H = h2;
            ++e;
        }
        dc.fill_rect(ox + c, oy + L, ox + e, oy + H + 1, colour);
        FillStanding(dc, ox + c, oy, band.lo.data() + c, e - c, L, colour);
        for (int k = c; k < e; ++k) edge[k - c] = int16_t(band.hi[k] + 1);
        FillHanging(dc, ox + c, oy, edge.data(), e - c, H + 1, colour);
        c = e;
    }
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
