#include "display/spectrum_graphs.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/settings.h"
#include "app/shell_state.h"
#include "audio/source_state.h"
#include "display/frame.h"
#include "display/graph_fill.h"
#include "display/layout.h"

namespace dl {

namespace {

using graph::Band;

constexpr int kNoBar = 256;

Rgb GridColour() { return DarkScheme ? rgb(0x808080) : rgb(0xFFFF00); }
Rgb BackgroundColour() { return DarkScheme ? kBlack : kWhite; }
Rgb PlainBarColour() { return DarkScheme ? kWhite : kBlack; }

// Positions of bins in pixel columns for one view, graph width and bar style; rebuilt only when
// one of them changes, since the log view needs a logarithm per bin.
struct BinLayout {
    int view = 0, bins = 0, width = 0, fftparam = 0, futosa = 0, colour = -1;
    std::vector<int16_t> trace;               // column of each bin's trace point
    std::vector<int32_t> first, last;         // bins whose bar covers a column (first > last: none)
    int bar_columns = 0;

    bool matches(int v, int b) const {
        return view == v && bins == b && width == GraphWidth && fftparam == Settings.fftparam &&
               futosa == Settings.futosa && colour == Settings.ColorScale;
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

const BinLayout& LinearLayout(int B) {
    static BinLayout l;
    if (l.matches(109, B)) return l;
    const int W = GraphWidth;
    l = BinLayout{109, B, W, Settings.fftparam, Settings.futosa, Settings.ColorScale, {}, {}, {}, 0};
    const int bpp = std::max(B / W, 1), ppb = std::max(W / B, 1);
    int w = Settings.futosa == 2 ? 2 : 1;
    if (Settings.futosa == 2 && Settings.fftparam <= 9) w = W >> (Settings.fftparam - 1);
    l.trace.resize(size_t(B));
    l.first.assign(size_t(W), INT32_MAX);
    l.last.assign(size_t(W), -1);
    for (int i = 0; i < B; ++i) {
        const int x = int((int64_t(i) * ppb) / bpp);
        l.trace[i] = int16_t(x);
        AddBar(l, i, x, w);
    }
    l.bar_columns = int(l.first.size());
    return l;
}

const BinLayout& LogLayout(int B) {
    static BinLayout l;
    if (l.matches(110, B)) return l;
    const int W = GraphWidth;
    l = BinLayout{110, B, W, Settings.fftparam, Settings.futosa, Settings.ColorScale, {}, {}, {}, 0};
    const double span = std::log(2.0 * B);
    auto at = [&](double v) { return int(W * std::log(v) / span); };
    l.trace.resize(size_t(B));
    l.first.assign(size_t(W), INT32_MAX);
    l.last.assign(size_t(W), -1);
    const bool fat = Settings.futosa == 2, coloured = Settings.ColorScale != 0;
    for (int i = 0; i < B; ++i) {
        const int x = i == 0 ? 0 : at(2.0 * i);
        l.trace[i] = int16_t(x);
        if (!fat) {
            AddBar(l, i, x, 1);
            continue;
        }
        const int left = i == 0 ? 0 : i == 1 ? 3 : at(2.0 * i - 1);
        const int right = at(2.0 * i + 1);
        int w = std::max(right - left, 2);
        if (coloured ? i == 1 : w > 2) w -= 1;
        AddBar(l, i, left, w);
    }
    l.bar_columns = int(l.first.size());
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

void ClearGraphArea(Dc& dc) {
    dc.pat_blt(CellWidth, 13 * CellHeight, GraphWidth, kGraphHeight, DarkScheme ? Rop::Blackness : Rop::Whiteness);
}

void DrawLinearGrid(Dc& dc) {
    const int X = CellWidth, Y = CellHeight, W = GraphWidth;
    const double s = SourceInfo.khz % 11 == 0 ? 116.09977324263039 : 128.0;
    for (int k = 1; k * s + 0.5 < W; ++k) {
        const int x = int(X + (k * s + 0.5));
        dc.move_to(x, 13 * Y + 256);
        dc.line_to(x, 13 * Y);
    }
}

void DrawLogGrid(Dc& dc, int B) {
    const int X = CellWidth, Y = CellHeight, W = GraphWidth;
    double top, g;
    switch (SourceInfo.khz) {
        case 44: top = 22050; g = 20000; break;
        case 22: top = 11025; g = 10000; break;
        case 11: top = 5512.5; g = 5000; break;
        case 88: top = 44100; g = 40000; break;
        default: top = SourceInfo.sample_rate / 2.0; g = SourceInfo.sample_rate / 4.0; break;
    }
    if (top <= 0) return;
    const double span = std::log(2.0 * B);
    double l;
    do {
        l = B * g / top;
        const int x = int(X + W * std::log(2 * l) / span);
        dc.move_to(x, 13 * Y);
        dc.line_to(x, 13 * Y + 256);
        g /= 2;
    } while (l > 1);
}

// Background and grid for the bar graphs: the background is painted only where no bar will
// cover it, which saves a second pass over the whole graph.
template <class Grid>
void BackgroundAndGrid(Dc& dc, const int16_t* bar_top, Grid grid) {
    graph::FillHanging(dc, CellWidth, 13 * CellHeight, bar_top, GraphWidth, 0, BackgroundColour());
    const Rgb old = dc.select_pen(GridColour());
    grid();
    DrawAmplitudeGrid(dc);
    dc.select_pen(old);
}

template <class Grid>
void DrawPlainBars(Dc& dc, const uint8_t* levels, const BinLayout& l, Grid grid) {
    static std::vector<int16_t> top;
    const int n = l.bar_columns;
    top.assign(size_t(std::max(n, GraphWidth)), kNoBar);
    for (int c = 0; c < n; ++c) {
        const int f = l.first[c], e = l.last[c];
        if (f > e) continue;
        uint8_t m = levels[f];
        for (int i = f + 1; i <= e; ++i) m = std::min(m, levels[i]);
        top[c] = m;
    }
    BackgroundAndGrid(dc, top.data(), grid);
    graph::FillStanding(dc, CellWidth, 13 * CellHeight, top.data(), n, kGraphHeight, PlainBarColour());
}

struct Segment {
    int16_t top, bottom;
    uint8_t pitch;
};

// Coloured bars: the final colours of each column come from walking its bins backwards (later
// bins cover earlier ones), then equal colours of neighbouring columns are painted together, one
// layer (counted from the top of each column) at a time.
template <class Grid>
void DrawColouredBars(Dc& dc, const uint8_t* levels, int B, const BinLayout& l, Grid grid) {
    static std::vector<int16_t> top, edge;
    static std::vector<int32_t> offset;
    static std::vector<Segment> seg;
    const std::vector<uint8_t>& pc = PitchClasses(B);
    const int n = l.bar_columns;
    top.assign(size_t(std::max(n, GraphWidth)), kNoBar);
    offset.resize(size_t(n) + 1);
    edge.resize(size_t(n));
    seg.clear();
    int layers = 0;
    for (int c = 0; c < n; ++c) {
        offset[c] = int32_t(seg.size());
        int cur = kNoBar;
        for (int i = l.last[c]; i >= l.first[c]; --i) {
            const int t = levels[i];
            if (t >= cur) continue;
            if (int(seg.size()) > offset[c] && seg.back().pitch == pc[i])
                seg.back().top = int16_t(t);
            else
                seg.push_back({int16_t(t), int16_t(cur), pc[i]});
            cur = t;
        }
        top[c] = int16_t(cur);
        layers = std::max(layers, int(seg.size()) - offset[c]);
    }
    offset[n] = int32_t(seg.size());
    BackgroundAndGrid(dc, top.data(), grid);

    Rgb colours[13];
    for (int k = 0; k < 13; ++k) colours[k] = CreateNoteBrush(k);
    const int ox = CellWidth, oy = 13 * CellHeight;
    // Segments are stored bottom-up; layer 0 is the top segment of every column.
    auto at = [&](int c, int layer) -> const Segment* {
        const int count = offset[c + 1] - offset[c];
        return layer < count ? &seg[size_t(offset[c] + count - 1 - layer)] : nullptr;
    };
    for (int layer = 0; layer < layers; ++layer) {
        int c = 0;
        while (c < n) {
            const Segment* s = at(c, layer);
            if (!s) {
                ++c;
                continue;
            }
            int e = c, base = 0;
            for (; e < n; ++e) {
                const Segment* t = at(e, layer);
                if (!t || t->pitch != s->pitch) break;
                edge[e - c] = t->top;
                base = std::max(base, int(t->bottom));
            }
            // Rows below a column's own segment belong to its lower layers, painted afterwards.
            graph::FillStanding(dc, ox + c, oy, edge.data(), e - c, base, colours[s->pitch]);
            c = e;
        }
    }
}

// The trace as the context would draw it bin by bin, reduced to one run of pixels per column.
void DrawTrace(Dc& dc, const uint8_t* levels, int B, const BinLayout& l) {
    static Band main, fat;
    const bool thick = Settings.futosa == 2;
    const int cols = GraphWidth + 2;
    main.reset(cols);
    if (thick) fat.reset(cols);
    const int16_t* xs = l.trace.data();
    int px = xs[0], py = levels[0];
    int mlo = INT16_MAX, mhi = INT16_MIN, flo = INT16_MAX, fhi = INT16_MIN;
    for (int i = 1; i < B; ++i) {
        const int x = xs[i], y = levels[i];
        if (x == px) {
            // Within a column the segments are vertical: from the previous point up to, not
            // including, this one (and the reverse for the second stroke of a fat line).
            const int a = std::min(py, y), b = std::max(py, y);
            const bool moved = a != b;
            mlo = std::min(mlo, moved ? a + (y < py) : INT16_MAX);
            mhi = std::max(mhi, moved ? b - (y > py) : INT16_MIN);
            flo = std::min(flo, moved ? a + (py < y) : INT16_MAX);
            fhi = std::max(fhi, moved ? b - (py > y) : INT16_MIN);
        } else {
            if (mlo <= mhi) main.add(px, mlo, mhi);
            graph::AddLinePixels(main, px, py, x, y);
            if (thick) {
                if (flo <= fhi) fat.add(px + 1, flo, fhi);
                graph::AddLinePixels(fat, x + 1, y, px + 1, py);
            }
            mlo = flo = INT16_MAX;
            mhi = fhi = INT16_MIN;
        }
        px = x;
        py = y;
    }
    if (mlo <= mhi) main.add(px, mlo, mhi);
    if (thick && flo <= fhi) fat.add(px + 1, flo, fhi);
    const Rgb pen = DarkScheme ? kWhite : dc.pen();
    graph::FillBand(dc, CellWidth, 13 * CellHeight, main, pen);
    if (thick) graph::FillBand(dc, CellWidth, 13 * CellHeight, fat, pen);
}

template <class Grid>
void DrawSpectrum(Dc& dc, const uint8_t* levels, int B, const BinLayout& l, Grid grid) {
    if (B <= 0) return;
    if (Settings.graph == 117) {
        if (Settings.ColorScale)
            DrawColouredBars(dc, levels, B, l, grid);
        else
            DrawPlainBars(dc, levels, l, grid);
        return;
    }
    ClearGraphArea(dc);
    const Rgb old = dc.select_pen(GridColour());
    grid();
    DrawAmplitudeGrid(dc);
    dc.select_pen(old);
    DrawTrace(dc, levels, B, l);
}

void DrawLabel(Dc& dc, int line_y, const char* text) {
    const int n = int(std::char_traits<char>::length(text));
    const int x = n == 3 ? GraphWidth - 2 * CellWidth : GraphWidth - CellWidth;
    DrawSurfaceText(dc, x, line_y - CellHeight, text, n);
}

}  // namespace

void DrawLinearSpectrum(Dc& target, const uint8_t* levels, int bins) {
    if (bins <= 0) return;
    DrawSpectrum(target, levels, bins, LinearLayout(bins), [&] { DrawLinearGrid(target); });
}

void DrawLogSpectrum(Dc& target, const uint8_t* levels, int bins) {
    if (bins <= 0) return;
    DrawSpectrum(target, levels, bins, LogLayout(bins), [&] { DrawLogGrid(target, bins); });
}

void ScrollTuningLines(Dc& target) {
    const int X = CellWidth, Y = CellHeight, W = GraphWidth;
    target.bit_blt(X, 13 * Y, W, 256 - 2 * Y, target, X, 15 * Y);
    target.pat_blt(X, 11 * Y + 256, W, 2 * Y, DarkScheme ? Rop::Blackness : Rop::Whiteness);
}

void DrawAmplitudeGrid(Dc& target) {
    const int X = CellWidth, Y = CellHeight, W = GraphWidth, top = 13 * Y;
    target.set_text_color(DarkScheme ? kWhite : kBlack);
    target.set_bk_color(DarkScheme ? kBlack : kWhite);
    const Font* old_font = target.select_font(nullptr);
    const Rgb pen = target.pen();
    auto line = [&](int y) { target.fill_rect(X, y, X + W, y + 1, pen); };
    auto db_line = [&](int k) { return int(top - 20.5 * std::log(std::ldexp(1.0, -2 * k))); };       // a = 2^-2k
    auto expand_line = [&](int k) { return int(top - 40.8 * std::log(std::ldexp(1.0, -2 * k)) + 11); };
    if (!Settings.Decibel) {
        for (int k = 1; k <= 3; ++k) line(top + 64 * k);
    } else if (!Settings.Expand) {
        for (int k = 8; k >= 1; --k) line(db_line(k));
    } else {
        for (int k = 4; k >= 0; --k) line(expand_line(k));
    }

    const bool no_room = ScaleColumnHasNoRoom();
    const bool legend_covers = NoteLegendShown() && W == 512 && X >= 7 && X <= 9;
    if (!no_room && !legend_covers) {
        target.select_font(old_font);
        return;
    }
    const bool crowded = !no_room && JapaneseUi && X == 8;
    if (!Settings.Decibel) {
        const bool e = Settings.Expand, p = Settings.katamuki != 0;
        const char* const* set;
        static const char* const both[] = {"-27", "-30", "-36"};
        static const char* const one[] = {"-15", "-18", "-24"};
        static const char* const neither[] = {"-3", "-6", "-12"};
        set = e && p ? both : (e || p) ? one : neither;
        DrawLabel(target, top + 128, set[1]);
        DrawLabel(target, top + 192, set[2]);
        if (!crowded) DrawLabel(target, top + 64, set[0]);
    } else if (Settings.Expand) {
        DrawLabel(target, expand_line(4), "-72");
        DrawLabel(target, expand_line(3), "-60");
        DrawLabel(target, expand_line(2), "-48");
        if (no_room || X != 8) {
            DrawLabel(target, expand_line(1), "-36");
            if (no_room || X != 7) DrawLabel(target, expand_line(0), "-24");
        }
    } else {
        static const char* const labels[] = {"-96", "-84", "-72", "-60", "-48", "-36"};
        for (int k = 8; k >= 3; --k) DrawLabel(target, db_line(k), labels[8 - k]);
        const bool x78 = X == 7 || X == 8;
        if (no_room || !JapaneseUi || !x78) {
            DrawLabel(target, db_line(2), "-24");
            if (no_room || !x78) DrawLabel(target, db_line(1), "-12");
        }
    }
    target.select_font(old_font);
}

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
