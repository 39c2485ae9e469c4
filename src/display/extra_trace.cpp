#include "display/extra_trace.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "display/frequency_axis.h"
#include "display/graph_area.h"
#include "display/level_range.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/view.h"

namespace dl {

namespace {

// The lines of each column in the current view, as the first line of every column (the lines
// run left to right, so a column's lines follow each other): column c holds lines
// [first[c], first[c + 1]). Cached against the view, the lines and the width.
const std::vector<int>& ColumnFirstLines(int view, int bins) {
    static std::vector<int> first;
    static int cached_view = 0, cached_bins = 0, cached_width = 0;
    static FrequencyRange cached_range;
    const FrequencyRange range = ChosenFrequencyRange(bins);
    if (view == cached_view && bins == cached_bins && GraphWidth == cached_width &&
        range.whole == cached_range.whole && range.low == cached_range.low && range.high == cached_range.high)
        return first;
    cached_view = view;
    cached_bins = bins;
    cached_width = GraphWidth;
    cached_range = range;
    const int W = GraphWidth;
    first.assign(size_t(W + 1), bins);
    const FrequencyAxis axis(view == kViewLinear, bins, W, range);
    // Lines left of the graph start at column 0's; lines past its right edge are not drawn.
    int c = -1;
    for (int i = 0; i < bins; ++i) {
        const int column = axis.column(i);
        while (c < column && c < W) first[size_t(++c)] = i;
    }
    return first;
}

// depth[k] = a + (b - a) * (k - x0) / (x1 - x0) for k in [from, to), with the division truncated
// as in C++, stepped without a division per column (x0 <= from, to <= x1).
void Straight(std::vector<int>& depth, int from, int to, int a, int b, int x0, int x1) {
    if (from >= to) return;
    const int d = x1 - x0, rise = std::abs(b - a), sign = b >= a ? 1 : -1;
    const int step_q = rise / d, step_r = rise % d;
    const long long start = static_cast<long long>(rise) * (from - x0);
    int q = int(start / d), r = int(start % d);
    for (int k = from; k < to; ++k) {
        depth[size_t(k)] = a + sign * q;
        q += step_q;
        r += step_r;
        if (r >= d) {
            r -= d;
            ++q;
        }
    }
}

}  // namespace

void DrawExtraTrace(Dc& target, const uint8_t* levels, int bins, Rgb colour) {
    const int view = Settings.display;
    if (!levels || bins <= 0 || (view != kViewLinear && view != kViewLog)) return;
    const int W = GraphWidth;
    const std::vector<int>& first = ColumnFirstLines(view, bins);
    // Each column's highest point (least depth) among its lines, as a row; -1: no line falls there.
    static std::vector<int> depth;
    depth.assign(size_t(W), -1);
    int last = -1;
    for (int c = 0; c < W; ++c) {
        const int from = first[size_t(c)], to = first[size_t(c) + 1];
        if (from >= to) continue;
        uint8_t highest = 0, unused = 0;
        LevelRange(levels, from, to - 1, highest, unused);
        depth[size_t(c)] = LevelRow(highest);
        last = c;
    }
    if (last < 0) return;
    int before = -1;
    const FrequencyRange range = ChosenFrequencyRange(bins);
    if (!range.whole) {
        // A chosen range's trace runs to both edges on the lines to those just outside it.
        const FrequencyAxis axis(view == kViewLinear, bins, W, range);
        int start = 0;
        while (depth[size_t(start)] < 0) ++start;
        const int outside_left = first[size_t(start)] - 1, outside_right = first[size_t(last) + 1];
        if (outside_left >= (view == kViewLinear ? 0 : 1)) {
            const int x = std::min(std::max(axis.column(outside_left), -W), -1);
            const int a = LevelRow(levels[outside_left]), b = depth[size_t(start)];
            Straight(depth, 0, start, a, b, x, start);
        }
        if (outside_right < bins) {
            const int x = std::max(std::min(axis.column(outside_right), 2 * W), W);
            const int a = depth[size_t(last)], b = LevelRow(levels[outside_right]);
            Straight(depth, last + 1, W, a, b, last, x);
            last = W - 1;
        }
    }
    // Columns between lines take the straight line between their neighbours.
    for (int c = 0; c <= last; ++c) {
        if (depth[size_t(c)] < 0) continue;
        if (before >= 0 && c - before > 1) Straight(depth, before + 1, c, depth[size_t(before)], depth[size_t(c)], before, c);
        before = c;
    }
    static std::vector<int16_t> top, bottom;
    top.assign(size_t(W), 0);
    bottom.assign(size_t(W), 0);
    const int oy = GraphTop();
    int previous = -1;
    for (int c = 0; c <= last; ++c) {
        const int d = std::min(depth[size_t(c)], GraphHeight - 1);
        if (d < 0) continue;
        const int from = previous < 0 ? d : std::min(d, previous), to = previous < 0 ? d : std::max(d, previous);
        top[size_t(c)] = int16_t(oy + from);
        bottom[size_t(c)] = int16_t(oy + to + 1);
        previous = d;
    }
    target.fill_column_runs(GraphLeft(), top.data(), bottom.data(), last + 1, colour);
}

Rgb SecondTraceColour() { return DarkScheme ? rgb(0x00FFFF) : rgb(0x0000FF); }
Rgb MaxHoldColour() { return DarkScheme ? rgb(0xFF4040) : rgb(0xFF0000); }
Rgb MinHoldColour() { return DarkScheme ? rgb(0x00FF00) : rgb(0x008000); }

}  // namespace dl
