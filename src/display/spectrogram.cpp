#include "display/spectrogram.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cmath>
#include <vector>

#include "display/frequency_axis.h"
#include "display/graph_area.h"
#include "platform/format_text.h"
#include "display/spectrogram_colours.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/view.h"

namespace dl {

namespace {

// One row per graph row; the history keeps the count it was made with.
int Rows() { return GraphHeight; }

// The lines each row shows, for one spectrum size: the lines that fall on the row, or, for a row
// between two lines (low frequencies, where a line spans several rows), the line below it.
struct RowLines {
    int bins = 0, rows = 0;
    FrequencyRange range;
    std::vector<int32_t> first, last;
};

FrequencyAxis RowAxis(int bins) { return FrequencyAxis(false, bins, Rows(), ChosenFrequencyRange(bins)); }

const RowLines& LinesOfRows(int bins) {
    static RowLines l;
    const int height = Rows();
    const FrequencyRange range = ChosenFrequencyRange(bins);
    if (l.bins == bins && l.rows == height && l.range.whole == range.whole && l.range.low == range.low &&
        l.range.high == range.high)
        return l;
    l.bins = bins;
    l.rows = height;
    l.range = range;
    l.first.assign(size_t(height), INT32_MAX);
    l.last.assign(size_t(height), -1);
    const FrequencyAxis axis = RowAxis(bins);
    for (int i = 0; i < bins; ++i) {
        // A chosen range leaves out the lines outside it rather than piling them on its edge rows.
        if (axis.ranged() && !axis.shows(i)) continue;
        const int r = SpectrogramRow(i, bins);
        l.first[size_t(r)] = std::min(l.first[size_t(r)], i);
        l.last[size_t(r)] = std::max(l.last[size_t(r)], i);
    }
    int below = axis.ranged() ? std::clamp(int(axis.low()), 0, bins - 1) : 0;
    for (int r = height - 1; r >= 0; --r) {
        if (l.last[size_t(r)] < 0) l.first[size_t(r)] = l.last[size_t(r)] = below;
        below = l.last[size_t(r)];
    }
    return l;
}

// The history fits the graph's width; another width starts it afresh.
void FitHistory() {
    SpectrogramRecord& s = Spectrogram;
    if (s.columns == GraphWidth && s.rows == Rows() && s.cells.size() == size_t(s.columns) * size_t(s.rows)) return;
    s.columns = GraphWidth;
    s.rows = Rows();
    s.cells.assign(size_t(std::max(s.columns, 0)) * size_t(s.rows), 0);
    s.filled = 0;
    s.newest = -1;
    s.newest_slice = -1;
    s.newest_seconds = -1;
    s.drawn_on = nullptr;
    s.labels.clear();
}

// Columns at the right edge that the sound has not reached yet: only a picture of a whole sound
// has them, while its newest column is short of the right edge.
int Lead() {
    const SpectrogramRecord& s = Spectrogram;
    if (!s.from_start || s.filled == 0) return 0;
    return int(std::max<int64_t>(0, s.columns - 1 - s.newest_slice));
}

// Ring index of the column drawn at graph column x, or -1 when none is there yet.
int RingColumn(int x) {
    const SpectrogramRecord& s = Spectrogram;
    const int age = s.columns - 1 - Lead() - x;
    if (age < 0 || age >= s.filled) return -1;
    return (s.newest - age + s.columns) % s.columns;
}

// Graph columns [x0, x1) and rows [r0, r1) from the history.
void PaintHistory(Dc& dc, int x0, int x1, int r0, int r1) {
    const SpectrogramRecord& s = Spectrogram;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, s.columns);
    r0 = std::max(r0, 0);
    r1 = std::min(r1, s.rows);
    if (x0 >= x1 || r0 >= r1) return;
    const int left = GraphLeft(), top = GraphTop();
    const Rgb* palette = SpectrogramColours().data();
    int x = x0;
    while (x < x1) {
        const int ring = RingColumn(x);
        if (ring < 0) {
            // Not reached yet: the floor's colour, so that the picture reads as silence there.
            int end = x + 1;
            while (end < x1 && RingColumn(end) < 0) ++end;
            dc.fill_rect(left + x, top + r0, left + end, top + r1, palette[0]);
            x = end;
            continue;
        }
        // Columns run on in the ring until its end.
        const int n = std::min({x1 - x, s.columns - ring, s.columns - 1 - Lead() - x + 1});
        dc.draw_index_columns(left + x, top + r0, n, r1 - r0, s.cells.data() + size_t(ring) * size_t(s.rows) + size_t(r0), s.rows,
                              palette);
        x += n;
    }
}

}  // namespace

void ResetSpectrogram() {
    Spectrogram.filled = 0;
    Spectrogram.newest = -1;
    Spectrogram.newest_slice = -1;
    Spectrogram.newest_seconds = -1;
    Spectrogram.drawn_on = nullptr;
    Spectrogram.labels.clear();
}

int SpectrogramRow(double bin, int bins) {
    const int height = Rows();
    if (bins <= 0 || !(bin > 0)) return height - 1;
    const double h = RowAxis(bins).offset(bin);
    return std::clamp(height - 1 - int(std::floor(std::clamp(h, -1.0, double(height)))), 0, height - 1);
}

bool SpectrogramShows(double bin, int bins) {
    const FrequencyAxis axis = RowAxis(bins);
    return !axis.ranged() || axis.shows(bin);
}

double SpectrogramBinAtRow(int row, int bins) {
    if (bins <= 0) return 0;
    const int height = Rows();
    const double h = height - 1 - row + 0.5;
    return RowAxis(bins).line_at(h);
}

int SpectrogramCell(int column, int row) {
    const SpectrogramRecord& s = Spectrogram;
    if (row < 0 || row >= s.rows || s.rows != Rows() || s.columns != GraphWidth) return -1;
    const int ring = RingColumn(column);
    return ring < 0 ? -1 : s.cells[size_t(ring) * size_t(s.rows) + size_t(row)];
}

void NoteSpectrogramLabel(int left, int top, int right, int bottom) {
    Spectrogram.labels.push_back({left, top, right, bottom});
}

void DrawSpectrogramHistory(Dc& dc) {
    FitHistory();
    PaintHistory(dc, 0, Spectrogram.columns, 0, Spectrogram.rows);
    Spectrogram.drawn_on = &dc.surface();
    Spectrogram.labels.clear();
}

void SpanSpectrogramOverWholeSound(double seconds) {
    Spectrogram.span = seconds;
    Spectrogram.from_start = true;
}

double SpectrogramSpan() {
    return Spectrogram.span > 0 ? Spectrogram.span : double(std::max(Settings.spectrogram_span, 1));
}

std::vector<SpectrogramTimeLabel> SpectrogramTimeLabels(int width) {
    std::vector<SpectrogramTimeLabel> out;
    const double span = SpectrogramSpan();
    if (width <= 0) return out;
    // The finest step that leaves a label about every 80 pixels.
    static constexpr double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1200, 1800, 3600};
    const double most = std::max(1.0, width / 80.0);
    double step = kSteps[std::size(kSteps) - 1];
    for (double k : kSteps)
        if (span / k <= most) {
            step = k;
            break;
        }
    const bool from_start = Spectrogram.from_start;
    for (int k = 0; k * step <= span * (1 + 1e-9); ++k) {
        const double t = k * step;
        SpectrogramTimeLabel l;
        l.seconds = from_start ? t : -t;
        l.x = from_start ? t / span * width : width * (1 - t / span);
        // The first label carries the unit; the others give only the number.
        l.text = k == 0 ? "0 s" : format_text(step < 1 ? "%.1f" : "%.0f", l.seconds);
        out.push_back(l);
    }
    return out;
}

void DrawSpectrogram(Dc& target, const uint8_t* levels, int bins, double seconds) {
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

    // A block stands for the time half way to the blocks on either side; the next one's is not
    // known yet, so it reaches as far past its own time as the last one was before it. Coarse
    // ticks cover several columns, fine ones share one.
    const double column_seconds = SpectrogramSpan() / W;
    const double gap = s.filled > 0 && seconds > s.newest_seconds ? seconds - s.newest_seconds : 0;
    const double reach = seconds + 0.5 * std::min(gap, SpectrogramSpan());
    const int64_t slice = int64_t(std::floor(std::max(reach, 0.0) / column_seconds + 1e-6));
    int64_t fresh = 1;
    if (s.filled > 0)
        fresh = seconds >= s.newest_seconds ? std::max<int64_t>(slice - s.newest_slice, 0)
                                            : 1;  // back in time: go on from here
    else if (s.from_start)
        fresh = slice + 1;  // a whole sound starts at its left edge
    const int lead_before = Lead();
    const int n = int(std::min<int64_t>(fresh, W));

    const int height = s.rows;
    static std::vector<uint8_t> column;
    column.assign(size_t(height), 0);
    const RowLines& rows = LinesOfRows(bins);
    for (int r = 0; r < height; ++r) {
        uint8_t loudest = 255;
        for (int i = rows.first[size_t(r)], e = rows.last[size_t(r)]; i <= e; ++i) loudest = std::min(loudest, levels[i]);
        column[size_t(r)] = SpectrogramIndexOfLevel(loudest);
    }
    if (n == 0) {
        // Another tick in the newest column: it keeps the loudest of them.
        uint8_t* cell = s.cells.data() + size_t(s.newest) * size_t(height);
        for (int r = 0; r < height; ++r) cell[r] = std::max(cell[r], column[size_t(r)]);
    } else {
        for (int k = 0; k < n; ++k) {
            s.newest = (s.newest + 1) % W;
            std::copy(column.begin(), column.end(), s.cells.data() + size_t(s.newest) * size_t(height));
        }
        s.filled = int(std::min<int64_t>(int64_t(s.filled) + n, W));
    }
    if (fresh > 0) s.newest_slice = slice;
    s.newest_seconds = seconds;

    if (!in_place) {
        PaintHistory(target, 0, W, 0, height);
        s.drawn_on = &target.surface();
        return;
    }
    const int lead = Lead();
    // The newest column's place, and how far the picture moves to make room for what is new.
    const int right = W - lead;
    const int moved = std::max(0, n - (lead_before - lead));
    if (moved >= W) {
        PaintHistory(target, 0, W, 0, height);
        return;
    }
    if (moved > 0) target.bit_blt(X, top, W - moved, height, target, X + moved, top);
    PaintHistory(target, right - std::max(n, 1), right, 0, height);
}

}  // namespace dl
