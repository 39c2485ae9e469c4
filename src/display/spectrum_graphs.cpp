#include "display/spectrum_graphs.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/pipeline_levels.h"
#include "display/analysis_settings.h"
#include "display/frame.h"
#include "display/frequency_axis.h"
#include "display/graph_fill.h"
#include "display/layout.h"
#include "display/level_range.h"
#include "display/level_scale.h"
#include "display/reference_traces.h"
#include "display/spectrogram.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"

namespace dl {

namespace {

using graph::Band;

constexpr int kNoBar = 256;

Rgb GridColour() { return DarkScheme ? rgb(0x808080) : rgb(0xFFFF00); }
Rgb BackgroundColour() { return DarkScheme ? kBlack : kWhite; }
Rgb PlainBarColour() { return DarkScheme ? kWhite : kBlack; }

// Positions of bins in pixel columns for one view, graph width and range of lines; rebuilt only
// when one of them or the settings (the bar style) change, since the log view needs a logarithm
// per bin.
struct BinLayout {
    int view = 0, bins = 0, width = 0;
    uint64_t settings = 0;  // the settings' generation it was laid out under
    FrequencyRange range;
    std::vector<int16_t> trace;               // column of each bin's trace point
    std::vector<int32_t> first, last;         // bins whose bar covers a column (first > last: none)
    std::vector<int16_t> trace_columns;       // columns holding trace points, left to right
    std::vector<int32_t> trace_first;         // first bin of each of them (one more at the end: B)
    int bar_columns = 0;

    // A fresh layout of b bins for view v at the current graph width and bar style.
    void start(int v, int b, const FrequencyRange& r) {
        *this = BinLayout{v, b, GraphWidth, SettingsGeneration, r, {}, {}, {}, {}, {}, 0};
        trace.resize(size_t(b));
        first.assign(size_t(width), INT32_MAX);
        last.assign(size_t(width), -1);
    }
    bool matches(int v, int b, const FrequencyRange& r) const {
        return view == v && bins == b && width == GraphWidth && settings == SettingsGeneration &&
               range.whole == r.whole && range.low == r.low && range.high == r.high;
    }
    // The trace runs through bins [from, to): all of them, or those a chosen range shows.
    void finish(int from = 0, int to = -1) {
        if (to < 0) to = bins;
        bar_columns = int(first.size());
        trace_columns.clear();
        trace_first.clear();
        for (int i = from; i < to; ++i) {
            if (i == from || trace[i] != trace[i - 1]) {
                trace_columns.push_back(trace[i]);
                trace_first.push_back(i);
            }
        }
        trace_first.push_back(to);
    }
};

void AddBar(BinLayout& l, int bin, int left, int w) {
    for (int c = std::max(left, 0); c < left + w; ++c) {
        if (c >= int(l.first.size())) {
            l.first.resize(size_t(c) + 1, INT32_MAX);
            l.last.resize(size_t(c) + 1, -1);
        }
        if (l.first[c] > bin) l.first[c] = bin;
        l.last[c] = bin;
    }
}

// A chosen range's layout: only the bins it shows, each bar kept inside the graph. Fat bars
// cover their bin's share of the axis, less a column between neighbours.
void RangedLayout(BinLayout& l, const FrequencyAxis& axis) {
    const int W = GraphWidth, B = l.bins;
    const bool fat = Settings.futosa == 2;
    auto at = [&](double line) { return int(std::floor(std::clamp(axis.offset(line), -1.0, double(W)))); };
    int from = -1, to = -1;
    for (int i = 0; i < B; ++i) {
        // Lines outside the range keep their places (within reach), so the trace can run to the edges.
        const int x = std::clamp(axis.column(i), -W, 2 * W);
        l.trace[i] = int16_t(x);
        if (!axis.shows(i)) continue;
        if (from < 0) from = i;
        to = i + 1;
        int left = x, w = 1;
        if (fat) {
            left = axis.linear() ? x : std::max(at(i - 0.5), 0);
            const int right = axis.linear() ? at(i + 1) : at(i + 0.5);
            w = std::max(right - left, 2);
            if (w > 2) w -= 1;
        }
        AddBar(l, i, left, std::min(w, W - left));
    }
    if (from < 0) from = to = 0;
    // The trace joins the lines just outside the range, clipped at the edges, so it reaches them;
    // line 0 has no place on a log axis.
    if (from > (axis.linear() ? 0 : 1)) --from;
    if (to > 0 && to < B) ++to;
    l.finish(from, to);
}

// Whether `l` is ready for the view's axis: kept from before, or laid out afresh here for a chosen
// range. False leaves `l` started for the whole axis, to be laid out by the caller.
bool LayoutReady(BinLayout& l, int view, int B, const FrequencyAxis& axis) {
    const FrequencyRange range = axis.ranged() ? ChosenFrequencyRange(B) : FrequencyRange{};
    if (l.matches(view, B, range)) return true;
    l.start(view, B, range);
    if (!axis.ranged()) return false;
    RangedLayout(l, axis);
    return true;
}

const BinLayout& LinearLayout(int B) {
    static BinLayout l;
    const FrequencyAxis axis(true, B, GraphWidth, ChosenFrequencyRange(B));
    if (LayoutReady(l, kViewLinear, B, axis)) return l;
    const int W = GraphWidth;
    int w = Settings.futosa == 2 ? 2 : 1;
    if (Settings.futosa == 2 && Settings.fftparam <= 9) w = W >> (Settings.fftparam - 1);
    for (int i = 0; i < B; ++i) {
        const int x = axis.column(i);
        l.trace[i] = int16_t(x);
        AddBar(l, i, x, w);
    }
    l.finish();
    return l;
}

const BinLayout& LogLayout(int B) {
    static BinLayout l;
    const FrequencyAxis axis(false, B, GraphWidth, ChosenFrequencyRange(B));
    if (LayoutReady(l, kViewLog, B, axis)) return l;
    auto at = [&](double line) { return int(axis.offset(line)); };
    const bool fat = Settings.futosa == 2, coloured = Settings.ColorScale != 0;
    for (int i = 0; i < B; ++i) {
        const int x = i == 0 ? 0 : at(i);
        l.trace[i] = int16_t(x);
        if (!fat) {
            AddBar(l, i, x, 1);
            continue;
        }
        const int left = i == 0 ? 0 : i == 1 ? 3 : at(i - 0.5);
        const int right = at(i + 0.5);
        int w = std::max(right - left, 2);
        if (coloured ? i == 1 : w > 2) w -= 1;
        AddBar(l, i, left, w);
    }
    l.finish();
    return l;
}

// PitchClass of every bin, cached for the current rate and reference.
const std::vector<uint8_t>& PitchClasses(int B) {
    static std::vector<uint8_t> table;
    static int bins = -1;
    static uint32_t rate = 0;
    static double reference = 0;
    if (bins != B || rate != SourceInfo.sample_rate || reference != NoteReference) {
        bins = B;
        rate = SourceInfo.sample_rate;
        reference = NoteReference;
        table.resize(size_t(B));
        for (int i = 0; i < B; ++i) table[i] = uint8_t(PitchClass(i, B, rate));
    }
    return table;
}

// A vertical grid line as the context draws it: from (x, from) up to, not including, (x, to).
struct GridLine {
    int x, from, to;
};

// A chosen range's grid: a line at each round frequency, where the axis puts it.
bool RangedGridLines(std::vector<GridLine>& lines, bool linear, int B) {
    const FrequencyAxis axis(linear, B, GraphWidth, ChosenFrequencyRange(B));
    if (!axis.ranged()) return false;
    const double line_hz = SourceInfo.sample_rate / (2.0 * B);
    for (const RoundFrequency& f : RoundFrequencies(axis.low() * line_hz, axis.high() * line_hz, !linear)) {
        const int x = GraphLeft() + int(axis.offset(f.hz / line_hz));
        if (linear)
            lines.push_back({x, GraphBottom(), GraphTop()});
        else
            lines.push_back({x, GraphTop(), GraphBottom()});
    }
    return true;
}

void LinearGridLines(std::vector<GridLine>& lines, int B) {
    if (RangedGridLines(lines, true, B)) return;
    const int X = GraphLeft(), W = GraphWidth;
    // The steps of the normal graph, widened with it; from twice its width on, halved as many times.
    int halvings = 1;
    while (kNormalGraphWidth * halvings * 2 <= W) halvings *= 2;
    const double s = (SourceInfo.khz % 11 == 0 ? 116.09977324263039 : 128.0) * W / (double(kNormalGraphWidth) * halvings);
    for (int k = 1; k * s + 0.5 < W; ++k) lines.push_back({int(X + (k * s + 0.5)), GraphBottom(), GraphTop()});
}

void LogGridLines(std::vector<GridLine>& lines, int B) {
    if (RangedGridLines(lines, false, B)) return;
    double top, g;
    switch (SourceInfo.khz) {
        case 44: top = 22050; g = 20000; break;
        case 22: top = 11025; g = 10000; break;
        case 11: top = 5512.5; g = 5000; break;
        case 88: top = 44100; g = 40000; break;
        default: top = SourceInfo.sample_rate / 2.0; g = SourceInfo.sample_rate / 4.0; break;
    }
    if (top <= 0) return;
    const LogAxis axis(B, GraphWidth);
    double l;
    do {
        l = B * g / top;
        lines.push_back({int(GraphLeft() + axis.offset(l)), GraphTop(), GraphBottom()});
        g /= 2;
    } while (l > 1);
}

// Rows of the amplitude grid's horizontal lines for the current scale.
int AmplitudeGridRows(int rows[8]) {
    int n = 0;
    if (Settings.Decibel && DecibelRangeOnNow()) {
        for (int db : RangeGridDecibels())
            if (n < 8) rows[n++] = RangeDecibelRow(db);
    } else if (!Settings.Decibel) {
        for (int k = 1; k <= 3; ++k) rows[n++] = GraphTop() + int(ScaleRow(64 * k));
    } else if (!Settings.Expand) {
        for (int k = 8; k >= 1; --k) rows[n++] = DecibelRow(k);
    } else {
        for (int k = 4; k >= 0; --k) rows[n++] = ExpandedDecibelRow(k);
    }
    return n;
}

bool AmplitudeLabelsShown() {
    const int X = CellWidth;
    return ScaleColumnHasNoRoom() || (NoteLegendShown() && GraphWidth == 512 && X >= 7 && X <= 9);
}

void DrawAmplitudeLabels(Dc& target);

// Plain bars: each column shows the shortest bar of its bins down to the bottom.
void PlainBars(ColumnPicture& p, const uint8_t* levels, const BinLayout& l, Dc& dc, int ox, int oy) {
    p.palette.push_back(PlainBarColour());
    for (int c = 0; c < l.bar_columns; ++c) {
        const int f = l.first[c], e = l.last[c];
        if (f > e) continue;
        uint8_t m, unused;
        LevelRange(levels, f, e, m, unused);
        const int row = LevelRow(m);
        if (c < p.columns)
            p.changes.push_back({int16_t(c), int16_t(row), 0});
        else
            dc.fill_rect(ox + c, oy + row, ox + c + 1, oy + GraphHeight, p.palette[0]);
    }
}

// Coloured bars: walking a column's bins backwards (later bins cover earlier ones) gives its
// visible segments from the top down; neighbouring segments of one colour are one run.
void ColouredBars(ColumnPicture& p, const uint8_t* levels, int B, const BinLayout& l, Dc& dc, int ox, int oy) {
    const std::vector<uint8_t>& pc = PitchClasses(B);
    for (int k = 0; k < 13; ++k) p.palette.push_back(CreateNoteBrush(k));
    for (int c = 0; c < l.bar_columns; ++c) {
        const size_t begin = p.changes.size();
        int cur = kNoBar;
        for (int i = l.last[c]; i >= l.first[c]; --i) {
            const int t = levels[i];
            if (t >= cur) continue;
            if (p.changes.size() > begin && p.changes.back().colour == pc[i])
                p.changes.back().row = int16_t(LevelRow(t));
            else
                p.changes.push_back({int16_t(c), int16_t(LevelRow(t)), pc[i]});
            cur = t;
        }
        if (c < p.columns) continue;
        // Outside the picture: fill the segments directly and take them back out.
        int bottom = GraphHeight;
        for (size_t k = begin; k < p.changes.size(); ++k) {
            const ColumnPicture::Change& s = p.changes[k];
            dc.fill_rect(ox + c, oy + s.row, ox + c + 1, oy + bottom, p.palette[s.colour]);
            bottom = s.row;
        }
        p.changes.resize(begin);
    }
}

// The vertical runs of one bin chain inside a column, segment by segment, for the columns where
// the chain's end (main stroke) or start (second stroke) is not drawn by a joining line.
void ExactChain(Band& band, int column, const uint8_t* levels, int f, int e, bool reversed) {
    for (int i = f + 1; i <= e; ++i) {
        const int py = LevelRow(levels[i - 1]), y = LevelRow(levels[i]);
        if (py == y) continue;
        const int a = std::min(py, y), b = std::max(py, y);
        // Drawn from the first point up to, not including, the second (reversed: the other way).
        const bool up = reversed ? py < y : y < py;
        band.add(column, a + up, b - !up);
    }
}

// The trace: every bin joined to the next. Within a column the joins are vertical, so they cover
// the rows between the column's lowest and highest level (the end point left out is drawn by the
// line to the next column); the lines between columns follow the context's line walk.
void Trace(ColumnPicture& p, const uint8_t* levels, const BinLayout& l, Dc& dc, int ox, int oy) {
    static Band main, fat;
    const bool thick = Settings.futosa == 2;
    const int cols = GraphWidth + 2;
    main.reset(cols);
    fat.reset(thick ? cols : 0);
    const int n = int(l.trace_columns.size());
    const int W = GraphWidth;
    for (int k = 0; k < n; ++k) {
        const int c = l.trace_columns[k], f = l.trace_first[k], e = l.trace_first[k + 1] - 1;
        uint8_t level_lo, level_hi;
        LevelRange(levels, f, e, level_lo, level_hi);
        const int lo = LevelRow(level_lo), hi = LevelRow(level_hi);
        // A chosen range's trace starts and ends at lines beyond the edges: only the lines to them count.
        if (c >= 0 && c < W) {
            if (k + 1 < n)
                main.add(c, lo, hi);
            else
                ExactChain(main, c, levels, f, e, false);
            if (thick) {
                if (k > 0)
                    fat.add(c + 1, lo, hi);
                else
                    ExactChain(fat, c + 1, levels, f, e, true);
            }
        }
        if (k + 1 < n) {
            const int x = l.trace_columns[k + 1];
            const int y = LevelRow(levels[e]), next_y = LevelRow(levels[e + 1]);
            graph::AddLinePixels(main, c, y, x, next_y);
            if (thick) graph::AddLinePixels(fat, x + 1, next_y, c + 1, y);
        }
    }
    if (!l.range.whole) {
        // Nothing of a chosen range's trace is drawn beside the graph.
        for (Band* b : {&main, &fat})
            for (int c = W; c < b->columns(); ++c) b->lo[size_t(c)] = INT16_MAX, b->hi[size_t(c)] = INT16_MIN;
    }
    p.palette.push_back(DarkScheme ? kWhite : dc.pen());
    graph::AddBandChanges(p, main, thick ? fat : main, 0, dc, ox, oy, p.palette[0]);
}

// Labels inside the graph lie between its grid and the graph itself. They sit at the graph's
// right edge, so only that strip (with room to spare for the glyphs) is composed once more
// without the graph, labelled, and given the graph back on top.
void RedrawUnderLabels(Dc& dc, const ColumnPicture& p, int ox, int oy) {
    static ColumnPicture strip;
    const int c0 = std::max(0, p.columns - 7 * CellWidth);
    strip.columns = p.columns - c0;
    strip.rows = p.rows;
    strip.keep_background = false;
    strip.background = p.background;
    strip.line = p.line;
    strip.line_rows = p.line_rows;
    strip.line_columns.clear();
    for (ColumnPicture::ColumnLine l : p.line_columns) {
        if (l.column < c0) continue;
        l.column = int16_t(l.column - c0);
        strip.line_columns.push_back(l);
    }
    strip.palette = p.palette;
    strip.changes.clear();
    dc.compose_columns(ox + c0, oy, strip);
    DrawAmplitudeLabels(dc);
    for (ColumnPicture::Change c : p.changes) {
        if (c.column < c0 || c.column >= p.columns) continue;
        c.column = int16_t(c.column - c0);
        strip.changes.push_back(c);
    }
    strip.keep_background = true;
    dc.compose_columns(ox + c0, oy, strip);
}

template <class Lines>
void DrawSpectrum(Dc& dc, const uint8_t* levels, int B, const BinLayout& l, Lines grid_lines) {
    if (B <= 0) return;
    static ColumnPicture p;
    static std::vector<GridLine> lines;
    const int ox = GraphLeft(), oy = GraphTop(), W = GraphWidth;
    p.columns = W;
    p.rows = GraphHeight;
    p.keep_background = false;
    p.background = BackgroundColour();
    p.line = GridColour();
    p.line_rows.clear();
    p.line_columns.clear();
    p.palette.clear();
    p.changes.clear();

    // Grid lines become part of the picture; what lies outside it is drawn as it stands.
    lines.clear();
    grid_lines(lines);
    for (const GridLine& g : lines) {
        if (g.from == g.to) continue;
        const int a = g.from < g.to ? g.from : g.to + 1, b = g.from < g.to ? g.to : g.from + 1;  // rows [a, b)
        int ia = std::max(a, oy), ib = std::min(b, oy + GraphHeight);
        if (g.x < ox || g.x >= ox + W || ia >= ib) ia = ib = b;
        if (ia < ib) p.line_columns.push_back({int16_t(g.x - ox), int16_t(ia - oy), int16_t(ib - oy)});
        if (a < ia) dc.fill_rect(g.x, a, g.x + 1, ia, p.line);
        if (ib < b) dc.fill_rect(g.x, ib, g.x + 1, b, p.line);
    }
    if (!lines.empty()) dc.move_to(lines.back().x, lines.back().to);
    int rows[8];
    const int nrows = AmplitudeGridRows(rows);
    for (int k = 0; k < nrows; ++k) {
        if (rows[k] >= oy && rows[k] < oy + GraphHeight)
            p.line_rows.push_back(int16_t(rows[k] - oy));
        else
            dc.fill_rect(ox, rows[k], ox + W, rows[k] + 1, p.line);
    }
    dc.set_text_color(DarkScheme ? kWhite : kBlack);
    dc.set_bk_color(DarkScheme ? kBlack : kWhite);

    if (Settings.graph == kGraphBar) {
        if (Settings.ColorScale)
            ColouredBars(p, levels, B, l, dc, ox, oy);
        else
            PlainBars(p, levels, l, dc, ox, oy);
    } else {
        Trace(p, levels, l, dc, ox, oy);
        dc.move_to(ox + l.trace[B - 1], oy + LevelRow(levels[B - 1]));
    }
    if (ReferenceTracesShown()) {
        // The references lie between the grid (and its labels) and the live spectrum.
        static std::vector<ColumnPicture::Change> live;
        live.swap(p.changes);
        p.changes.clear();
        dc.compose_columns(ox, oy, p);
        if (AmplitudeLabelsShown()) DrawAmplitudeLabels(dc);
        DrawReferenceTraces(dc, B);
        live.swap(p.changes);
        p.keep_background = true;
        dc.compose_columns(ox, oy, p);
        return;
    }
    dc.compose_columns(ox, oy, p);
    if (AmplitudeLabelsShown()) RedrawUnderLabels(dc, p, ox, oy);
}

void DrawScaleLabel(Dc& dc, int line_y, const char* text) {
    const int n = int(std::char_traits<char>::length(text));
    // Right-aligned on the graph's edge, a two-character text as one of three.
    const int x = n >= 3 ? GraphWidth - (n - 1) * CellWidth : GraphWidth - CellWidth;
    DrawSurfaceText(dc, x, line_y - CellHeight, text, n);
}

}  // namespace

void DrawLinearSpectrum(Dc& target, const uint8_t* levels, int bins) {
    if (bins <= 0) return;
    DrawSpectrum(target, levels, bins, LinearLayout(bins), [&](std::vector<GridLine>& l) { LinearGridLines(l, bins); });
}

void DrawLogSpectrum(Dc& target, const uint8_t* levels, int bins) {
    if (bins <= 0) return;
    DrawSpectrum(target, levels, bins, LogLayout(bins), [&](std::vector<GridLine>& l) { LogGridLines(l, bins); });
}

void ScrollTuningLines(Dc& target) {
    const int X = GraphLeft(), Y = CellHeight, W = GraphWidth;
    target.bit_blt(X, GraphTop(), W, GraphHeight - 2 * Y, target, X, GraphTop() + 2 * Y);
    target.pat_blt(X, GraphBottom() - 2 * Y, W, 2 * Y, DarkScheme ? Rop::Blackness : Rop::Whiteness);
}

void DrawViewGraph(Dc& target, int n, const uint8_t* levels, double seconds) {
    switch (Settings.display) {
    case kViewLinear: DrawLinearSpectrum(target, levels, n / 2); break;
    case kViewLog: DrawLogSpectrum(target, levels, n / 2); break;
    case kViewTuning: ScrollTuningLines(target); break;
    case kViewSpectrogram: DrawSpectrogram(target, levels, n / 2, seconds); break;
    default: break;
    }
}

void DrawAmplitudeGrid(Dc& target) {
    const int X = GraphLeft(), W = GraphWidth;
    target.set_text_color(DarkScheme ? kWhite : kBlack);
    target.set_bk_color(DarkScheme ? kBlack : kWhite);
    const Rgb pen = target.pen();
    int rows[8];
    const int n = AmplitudeGridRows(rows);
    for (int k = 0; k < n; ++k) target.fill_rect(X, rows[k], X + W, rows[k] + 1, pen);
    if (AmplitudeLabelsShown()) DrawAmplitudeLabels(target);
}

namespace {

void DrawAmplitudeLabels(Dc& target) {
    const int X = CellWidth, top = GraphTop();
    const Font* old_font = target.select_font(nullptr);
    const bool no_room = ScaleColumnHasNoRoom();
    const bool crowded = !no_room && JapaneseUi && X == 8;
    if (Settings.Decibel && DecibelRangeOnNow()) {
        for (int db : RangeGridDecibels()) {
            const std::string text = std::to_string(db);
            DrawScaleLabel(target, RangeDecibelRow(db), text.c_str());
        }
    } else if (!Settings.Decibel) {
        const bool e = Settings.Expand, p = Settings.katamuki != 0;
        const char* const* set;
        static const char* const both[] = {"-27", "-30", "-36"};
        static const char* const one[] = {"-15", "-18", "-24"};
        static const char* const neither[] = {"-3", "-6", "-12"};
        set = e && p ? both : (e || p) ? one : neither;
        DrawScaleLabel(target, top + int(ScaleRow(128)), set[1]);
        DrawScaleLabel(target, top + int(ScaleRow(192)), set[2]);
        if (!crowded) DrawScaleLabel(target, top + int(ScaleRow(64)), set[0]);
    } else if (Settings.Expand) {
        DrawScaleLabel(target, ExpandedDecibelRow(4), "-72");
        DrawScaleLabel(target, ExpandedDecibelRow(3), "-60");
        DrawScaleLabel(target, ExpandedDecibelRow(2), "-48");
        if (no_room || X != 8) {
            DrawScaleLabel(target, ExpandedDecibelRow(1), "-36");
            if (no_room || X != 7) DrawScaleLabel(target, ExpandedDecibelRow(0), "-24");
        }
    } else {
        static const char* const labels[] = {"-96", "-84", "-72", "-60", "-48", "-36"};
        for (int k = 8; k >= 3; --k) DrawScaleLabel(target, DecibelRow(k), labels[8 - k]);
        const bool x78 = X == 7 || X == 8;
        if (no_room || !JapaneseUi || !x78) {
            DrawScaleLabel(target, DecibelRow(2), "-24");
            if (no_room || !x78) DrawScaleLabel(target, DecibelRow(1), "-12");
        }
    }
    target.select_font(old_font);
}

}  // namespace

void DrawSurfaceText(Dc& target, int x, int y, const std::string& text, int length) {
    if (Settings.UseMemDC) {
        target.text_out(0, 0, text);
        target.bit_blt(x, y, length * CellWidth, 2 * CellHeight, target, 0, 0);
    } else {
        target.text_out(x, y, text);
    }
}

Rgb CreateNoteBrush(int pitch_class) {
    switch (pitch_class) {
        case 3: return rgb(0xFF0000);
        case 5: return DarkScheme ? rgb(0xFFFF00) : rgb(0x808000);
        case 7: return DarkScheme ? rgb(0x00FF00) : rgb(0x008000);
        case 8: return DarkScheme ? rgb(0xFFFFFF) : rgb(0x808080);
        case 10: return rgb(0x0000FF);
        case 0: return rgb(0xFF00FF);
        case 2: return DarkScheme ? rgb(0x00FFFF) : rgb(0x008080);
        default: return DarkScheme ? rgb(0xC0C0C0) : rgb(0x000000);
    }
}

int PitchClass(int bin, int bins, uint32_t rate) {
    // Without a rate or reference there is no pitch; such bins take the accidental colour.
    if (bin == 0 || bins <= 0 || rate == 0 || !(NoteReference > 0)) return 12;
    const double f = double(rate) * bin / (2.0 * bins);
    const double p = std::log(f / NoteReference) / std::log(1.0594630943592953);
    const long s = std::lround(p);
    return int(((s % 12) + 12) % 12);
}

}  // namespace dl
