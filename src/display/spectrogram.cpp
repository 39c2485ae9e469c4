#include "display/spectrogram.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "display/graph_area.h"
#include "display/spectrogram_colours.h"
#include "state/layout_units.h"
#include "state/shell.h"
#include "state/view.h"

namespace dl {

namespace {

constexpr int kRows = kSpectrogramRows;

Rgb Background() { return DarkScheme ? kBlack : kWhite; }

// The lines each row shows, for one spectrum size: the lines that fall on the row, or, for a row
// between two lines (low frequencies, where a line spans several rows), the line below it.
struct RowLines {
    int bins = 0;
    std::vector<int32_t> first, last;
};

const RowLines& LinesOfRows(int bins) {
    static RowLines l;
    if (l.bins == bins) return l;
    l.bins = bins;
    l.first.assign(kRows, INT32_MAX);
    l.last.assign(kRows, -1);
    for (int i = 0; i < bins; ++i) {
        const int r = SpectrogramRow(i, bins);
        l.first[size_t(r)] = std::min(l.first[size_t(r)], i);
        l.last[size_t(r)] = std::max(l.last[size_t(r)], i);
    }
    int below = 0;
    for (int r = kRows - 1; r >= 0; --r) {
        if (l.last[size_t(r)] < 0) l.first[size_t(r)] = l.last[size_t(r)] = below;
        below = l.last[size_t(r)];
    }
    return l;
}

// The history fits the graph's width; another width starts it afresh.
void FitHistory() {
    SpectrogramRecord& s = Spectrogram;
    if (s.columns == GraphWidth && s.cells.size() == size_t(s.columns) * kRows) return;
    s.columns = GraphWidth;
    s.cells.assign(size_t(std::max(s.columns, 0)) * kRows, 0);
    s.filled = 0;
    s.newest = -1;
    s.drawn_on = nullptr;
    s.labels.clear();
}

// Ring index of the column drawn at graph column x, or -1 when none is there yet.
int RingColumn(int x) {
    const SpectrogramRecord& s = Spectrogram;
    const int age = s.columns - 1 - x;
    if (age < 0 || age >= s.filled) return -1;
    return (s.newest - age + s.columns) % s.columns;
}

// Graph columns [x0, x1) and rows [r0, r1) from the history.
void PaintHistory(Dc& dc, int x0, int x1, int r0, int r1) {
    const SpectrogramRecord& s = Spectrogram;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, s.columns);
    r0 = std::max(r0, 0);
    r1 = std::min(r1, kRows);
    if (x0 >= x1 || r0 >= r1) return;
    const int left = GraphLeft(), top = GraphTop();
    const Rgb* palette = SpectrogramColours().data();
    int x = x0;
    while (x < x1) {
        const int ring = RingColumn(x);
        if (ring < 0) {
            // Nothing analysed yet: the graph's background up to the oldest column.
            const int end = std::min(x1, s.columns - s.filled);
            dc.fill_rect(left + x, top + r0, left + end, top + r1, Background());
            x = end;
            continue;
        }
        // Columns run on in the ring until its end.
        const int n = std::min(x1 - x, s.columns - ring);
        dc.draw_index_columns(left + x, top + r0, n, r1 - r0, s.cells.data() + size_t(ring) * kRows + size_t(r0), kRows,
                              palette);
        x += n;
    }
}

}  // namespace

void ResetSpectrogram() {
    Spectrogram.filled = 0;
    Spectrogram.newest = -1;
    Spectrogram.drawn_on = nullptr;
    Spectrogram.labels.clear();
}

int SpectrogramRow(double bin, int bins) {
    if (bins <= 0 || !(bin > 0)) return kRows - 1;
    const double h = LogAxis(bins, kRows).offset(bin);
    return std::clamp(kRows - 1 - int(std::floor(h)), 0, kRows - 1);
}

double SpectrogramBinAtRow(int row, int bins) {
    if (bins <= 0) return 0;
    const double h = kRows - 1 - row + 0.5;
    return LogAxis(bins, kRows).line_at(h);
}

int SpectrogramCell(int column, int row) {
    if (row < 0 || row >= kRows || Spectrogram.columns != GraphWidth) return -1;
    const int ring = RingColumn(column);
    return ring < 0 ? -1 : Spectrogram.cells[size_t(ring) * kRows + size_t(row)];
}

void NoteSpectrogramLabel(int left, int top, int right, int bottom) {
    Spectrogram.labels.push_back({left, top, right, bottom});
}

void DrawSpectrogramHistory(Dc& dc) {
    FitHistory();
    PaintHistory(dc, 0, Spectrogram.columns, 0, kRows);
    Spectrogram.drawn_on = &dc.surface();
    Spectrogram.labels.clear();
}

void DrawSpectrogram(Dc& target, const uint8_t* levels, int bins) {
    if (bins <= 0 || GraphWidth <= 0) return;
    FitHistory();
    SpectrogramRecord& s = Spectrogram;
    const int X = GraphLeft(), top = GraphTop(), W = s.columns;
    const bool in_place = s.drawn_on == &target.surface();
    // The labels of the last tick go before the picture moves under them.
    if (in_place) {
        for (const SpectrogramRecord::Box& b : s.labels) PaintHistory(target, b.left - X, b.right - X, b.top - top, b.bottom - top);
    }
    s.labels.clear();

    s.newest = (s.newest + 1) % W;
    s.filled = std::min(s.filled + 1, W);
    uint8_t* column = s.cells.data() + size_t(s.newest) * kRows;
    const RowLines& rows = LinesOfRows(bins);
    for (int r = 0; r < kRows; ++r) {
        uint8_t loudest = 255;
        for (int i = rows.first[size_t(r)], e = rows.last[size_t(r)]; i <= e; ++i) loudest = std::min(loudest, levels[i]);
        column[r] = SpectrogramIndexOfLevel(loudest);
    }

    if (!in_place) {
        PaintHistory(target, 0, W, 0, kRows);
        s.drawn_on = &target.surface();
        return;
    }
    target.bit_blt(X, top, W - 1, kRows, target, X + 1, top);
    target.draw_index_columns(X + W - 1, top, 1, kRows, column, kRows, SpectrogramColours().data());
}

}  // namespace dl
