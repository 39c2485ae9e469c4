#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/pipeline_levels.h"
#include "display/analysis_settings.h"
#include "display/frame.h"
#include "display/frequency_axis.h"
#include "display/layout.h"
#include "display/level_scale.h"
#include "display/spectrum_graphs.h"
#include "platform/format_text.h"
#include "platform/system.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"

namespace dl {

namespace {

int Len(const std::string& s) { return int(s.size()); }

int ViewBins() { return 1 << (std::clamp(Settings.fftparam, 8, 16) - 1); }

// A chosen range's labels under the graph, each centred on its grid line; one that would run into
// the label before it is left out.
bool DrawRangedFrequencyLabels(Dc& dc, bool linear, int bins) {
    const FrequencyAxis axis(linear, bins, GraphWidth, ChosenFrequencyRange(bins));
    if (!axis.ranged()) return false;
    const int X = CellWidth, y = FrequencyAxisTop();
    const double line_hz = SourceInfo.sample_rate / (2.0 * bins);
    int free_from = 0;
    for (const RoundFrequency& f : RoundFrequencies(axis.low() * line_hz, axis.high() * line_hz, !linear)) {
        const int len = Len(f.text) * X;
        const int x = std::clamp(GraphLeft() + int(axis.offset(f.hz / line_hz)) - len / 2, 0, WindowWidth - len);
        if (x < free_from) continue;
        dc.text_out(x, y, f.text);
        free_from = x + len + X;
    }
    return true;
}

}  // namespace

void DrawAmplitudeScale(Dc& dc) {
    const int X = CellWidth, Y = CellHeight, W = GraphWidth, x = W + 2 * X;
    FillFace(dc, W + 2 * X, 12 * Y, W + 11 * X, FrequencyAxisTop());
    // The labels' places on the 256-row scale, spread over a taller graph.
    auto R = [](int row_of_256) { return int(ScaleRow(row_of_256)); };
    const Font* old_font = dc.select_font(nullptr);
    dc.set_text_color(system_colour(SysColour::ButtonText));
    dc.set_bk_color(system_colour(SysColour::ButtonFace));
    dc.set_bk_mode(BkMode::Opaque);
    if (Settings.Decibel && DecibelRangeOnNow()) {
        dc.text_out(x, 12 * Y, std::to_string(Settings.db_top) + " db");
        for (int db : RangeGridDecibels()) dc.text_out(x, RangeDecibelRow(db) - Y, std::to_string(db));
    } else if (!Settings.Decibel) {
        const bool e = Settings.Expand, p = Settings.katamuki != 0;
        if (e && p) {
            const char* main[] = {"0.0625", "0.046875", "0.03125", "0.015625"};
            const char* notes[] = {"(-24db)", "(-27)", "(-30)", "(-36)"};
            for (int k = 0; k < 4; ++k) {
                dc.text_out(x, 12 * Y + R(64 * k), main[k]);
                dc.text_out(x, 14 * Y + R(64 * k), notes[k]);
            }
        } else if (e || p) {
            const char* main[] = {"0.25", "0.1875", "0.125", "0.0625"};
            const char* notes[] = {"(-12db)", "(-15)", "(-18)", "(-24)"};
            for (int k = 0; k < 4; ++k) {
                dc.text_out(x, 12 * Y + R(64 * k), main[k]);
                dc.text_out(x, 14 * Y + R(64 * k), notes[k]);
            }
        } else {
            dc.text_out(x, 12 * Y, "1.0(0db)");
            dc.text_out(x, 12 * Y + R(64), "0.75(-3)");
            dc.text_out(x, 12 * Y + R(128), "0.5 (-6)");
            if (X >= 10) {
                dc.text_out(x, 12 * Y + R(192), "0.25(-12)");
            } else {
                dc.text_out(x, 12 * Y + R(192), "0.25");
                dc.text_out(x, 14 * Y + R(192), "(-12)");
            }
        }
        dc.text_out(x, GraphBottom() - 2 * Y, JapaneseUi ? "0(-∞)" : "0(-Inf)");
    } else if (!Settings.Expand) {
        static const char* const labels[] = {"-96", "-84", "-72", "-60", "-48", "-36", "-24", "-12"};
        for (int k = 8; k >= 1; --k)
            dc.text_out(x, DecibelRow(k) - Y, labels[8 - k]);
        dc.text_out(x, 12 * Y, "0 db");
    } else {
        static const char* const labels[] = {"-72", "-60", "-48", "-36", "-24db"};
        for (int k = 4; k >= 0; --k)
            dc.text_out(x, ExpandedDecibelRow(k) - Y, labels[4 - k]);
    }
    dc.select_font(old_font);
}

void DrawLinearFrequencyLabels(Dc& dc, int khz, double top_frequency) {
    const int X = CellWidth, W = GraphWidth, y = FrequencyAxisTop();
    if (DrawRangedFrequencyLabels(dc, true, ViewBins())) return;
    const double F = top_frequency;
    const bool no_room = ScaleColumnHasNoRoom();
    dc.text_out(X / 2, y, "0");
    auto centred = [&](int pos, const std::string& s) { dc.text_out(pos - ((Len(s) - 2) * X) / 2, y, s); };
    if (khz % 11 != 0) {
        if (!no_room) {
            const std::string s = format_text(F >= 10 ? "%.0f Hz" : "%.1f Hz", F);
            dc.text_out(W - ((Len(s) - 5) * X) / 2, y, s);
        } else {
            const std::string s = format_text(F >= 10 ? "%.0f" : "%.1f", F);
            dc.text_out(W - (Len(s) - 1) * X, y, s);
        }
        for (auto [value, pos] : {std::pair{F / 2, W / 2}, std::pair{F / 4, W / 4}, std::pair{3 * F / 4, 3 * W / 4}})
            centred(pos, format_text(value >= 10 ? "%.0f" : "%.1f", value));
        return;
    }
    const std::string& caption = SharedText;
    // Label places grow with the graph; at 512 and 1024 columns they are whole pixels as always.
    const double unit = W / 512.0;
    int cx;
    if (no_room)
        cx = int(W - (Len(caption) - 4.5) * X);
    else if (unit * 464 + 5 * X < W)
        cx = W - X;
    else
        cx = W + X;
    dc.text_out(cx, y, caption);
    centred(int(unit * 464), format_text("%.0f", F));
    centred(int(unit * 348), format_text("%.0f", 3 * F / 4));
    centred(int(unit * 232), format_text("%.0f", F / 2));
    centred(int(unit * 116), format_text("%.0f", F / 4));
}

std::vector<LogFrequencyLabel> LogFrequencyLabels(int khz, int bins) {
    std::vector<LogFrequencyLabel> labels;
    const int X = CellWidth, W = GraphWidth;
    const int B = bins;
    if (B <= 0) return labels;
    const FrequencyAxis ranged(false, B, W, ChosenFrequencyRange(B));
    if (ranged.ranged()) {
        const double line_hz = SourceInfo.sample_rate / (2.0 * B);
        const std::vector<RoundFrequency> round = RoundFrequencies(ranged.low() * line_hz, ranged.high() * line_hz, true);
        for (auto f = round.rbegin(); f != round.rend(); ++f) labels.push_back({f->text, f->hz / line_hz, false});
        return labels;
    }
    const int p = Settings.fftparam;
    const bool crowded = W == 512 && ((p > 12 && X > 8) || (p > 11 && X > 10));
    const int u = int(W - LogAxis(B, W).offset((crowded ? B / 2 : B) / 2.0));
    double m, T;
    switch (khz) {
        case 44: m = 20000; T = 22050; break;
        case 22: m = 10000; T = 11025; break;
        case 11: m = 5000; T = 5512.5; break;
        case 88: m = 40000; T = 44100; break;
        default: m = T = double(SourceInfo.sample_rate / 2); break;
    }
    if (!(T > 0)) return labels;
    double o;
    int index = 0;
    do {
        std::string s;
        if (m >= 9999.5)
            s = format_text("%.0fk", m / 1000);
        else if (m >= 999.5 && u < 4 * X && long(m) % 1000 == 0)
            s = format_text("%.0fk", m / 1000);
        else if (m >= 999.5 && u < 4.5 * X)
            s = format_text("%.1fk", m / 1000);
        else if (m < 0.095)
            s = format_text(".0%.0f", 100 * m);
        else if (m >= 0.995)
            s = format_text(m >= 9.95 ? "%.0f" : "%.1f", m);
        else
            s = format_text(".%.0f", 100 * m);
        o = B * m / T;
        labels.push_back({s, o, crowded && index % 2 == 1});
        m /= 2;
        ++index;
    } while (o >= 1);
    return labels;
}

void DrawLogFrequencyLabels(Dc& dc, int khz, int bins) {
    if (DrawRangedFrequencyLabels(dc, false, bins)) return;
    const int X = CellWidth, y = FrequencyAxisTop();
    const LogAxis axis(bins, GraphWidth);
    const bool no_room = ScaleColumnHasNoRoom();
    for (const LogFrequencyLabel& l : LogFrequencyLabels(khz, bins)) {
        if (l.skipped) continue;
        const int len = Len(l.text);
        int x = int(GraphLeft() + axis.offset(l.bin) - (len * X) / 2);
        if (no_room && x + len * X >= WindowWidth) x = WindowWidth - len * X;
        // The lowest line can lie so near the edge that a centred text would lose its first characters.
        if (x < 0) x = 0;
        dc.text_out(x, y, l.text);
    }
}

void DrawNoteLegend(Dc& dc, int x0, int y0, int h) {
    const int X = CellWidth, Y = CellHeight;
    const bool wide = WideLayout();
    if (wide)
        dc.pat_blt(x0, y0, 14 * X, 12 * Y, DarkScheme ? Rop::Blackness : Rop::Whiteness);
    else
        dc.pat_blt(x0, y0, 7 * X, GraphBottom() - y0, DarkScheme ? Rop::Blackness : Rop::Whiteness);

    struct Entry {
        const char* ja_swatch;
        const char* en_swatch;
        uint32_t colour;
        const char* ja_label;
        const char* en_label;
    };
    const bool d = DarkScheme;
    const Entry entries[8] = {
        {"赤", "R", 0xFF0000, "=ド", "=doh"},
        {"黄", "Y", 0x808000, "=レ", "=ray"},
        {"緑", "G", 0x008000, "=ミ", "=me"},
        {d ? "白" : "灰", d ? "W" : "G", d ? 0xFFFFFFu : 0x808080u, "=ﾌｧ", "=fah"},
        {"青", "B", 0x0000FF, "=ソ", "=soh"},
        {"紫", "M", 0xFF00FF, "=ラ", "=lah"},
        {"水", "C", 0x008080, "=シ", "=te"},
        {d ? "灰" : "黒", d ? "G" : "B", d ? 0xC0C0C0u : 0x000000u, "=#b", "=#b"},
    };
    const Font* old_font = dc.select_font(nullptr);
    dc.set_bk_mode(BkMode::Opaque);
    const Rgb ground = d ? kBlack : kWhite;
    for (int k = 0; k < 8; ++k) {
        const Entry& e = entries[k];
        int y = y0 + Y + (h * k) / 7;
        int sx = x0 + X, lx = x0 + 3 * X;
        if (wide && k >= 4) {
            y -= (4 * h) / 7;
            sx = x0 + 8 * X;
            lx = x0 + 10 * X;
        }
        dc.set_text_color(d ? kBlack : kWhite);
        dc.set_bk_color(rgb(e.colour));
        dc.text_out(sx, y, JapaneseUi ? e.ja_swatch : e.en_swatch);
        dc.set_text_color(rgb(e.colour));
        dc.set_bk_color(ground);
        dc.text_out(lx, y, JapaneseUi ? e.ja_label : e.en_label);
    }
    dc.select_font(old_font);
}

}  // namespace dl
