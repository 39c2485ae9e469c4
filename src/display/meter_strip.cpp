#include "display/meter_strip.h"

#include <algorithm>
#include <cmath>

#include "platform/format_text.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/window_dc.h"

namespace dl {

namespace {

constexpr double kLowestDb = -60;
constexpr Rgb kLabel = rgb(0xFFFF00), kFigure = rgb(0xC0C0C0), kTarget = rgb(0xFFFF00), kLoudness = rgb(0x00C0FF),
              kLoudnessDim = rgb(0x003048);

struct Zone {
    double below;  // the zone holds levels up to here
    Rgb lit, dim;
};

// Green up to -18 dB, yellow up to -6, red above; the two-colour palette of "monochrome" keeps
// cyan below -6 and yellow above.
const Zone* zones(int& count) {
    static const Zone normal[] = {{-18, rgb(0x00FF00), rgb(0x006000)},
                                  {-6, rgb(0xFFFF00), rgb(0x606000)},
                                  {1e9, rgb(0xFF0000), rgb(0x600000)}};
    static const Zone mono[] = {{-6, rgb(0x00FFFF), rgb(0x000080)}, {1e9, rgb(0xFFFF00), rgb(0x800000)}};
    count = Settings.monochrome ? 2 : 3;
    return Settings.monochrome ? mono : normal;
}

void fill(Dc& dc, int x0, int x1, int top, int height, Rgb c) {
    if (x1 > x0) dc.fill_rect(x0, top, x1, top + height, c);
}

void mark(Dc& dc, int x, int top, int height, Rgb c) { dc.fill_rect(x - 1, top, x + 1, top + height, c); }

// One channel's bar: lit up to the reading zone by zone, dim beyond, the held mark in white.
void level_bar(Dc& dc, const MeterStripLayout& g, int row, const ChannelMeterReading& r) {
    const int Y = CellHeight, top = g.row(row) + Y / 2;
    const int lit = r.bar > kLowestDb ? MeterStripX(g, r.bar) : g.bar_left;
    int count = 0;
    const Zone* z = zones(count);
    int from = g.bar_left;
    for (int i = 0; i < count; ++i) {
        const int to = i == count - 1 ? g.bar_right : MeterStripX(g, z[i].below);
        fill(dc, from, std::min(to, lit), top, Y, z[i].lit);
        fill(dc, std::max(from, lit), to, top, Y, z[i].dim);
        from = to;
    }
    if (r.held > kLowestDb) mark(dc, MeterStripX(g, r.held), top, Y, kWhite);
}

void figure_at_right(Dc& dc, int right, int y, const std::string& text) {
    dc.text_out(right - dc.text_width(text), y, text);
}

// The scale between the bars: marks every 5 dB, figures where they do not crowd each other.
void scale(Dc& dc, const MeterStripLayout& g, int weighting) {
    const int Y = CellHeight, y = g.row(2);
    for (int db = int(kLowestDb); db <= 0; db += 5) {
        const bool long_mark = db % 10 == 0;
        dc.fill_rect(MeterStripX(g, db), y - Y / 4, MeterStripX(g, db) + 1, y + (long_mark ? Y / 4 : 0), kFigure);
    }
    dc.set_text_color(kFigure);
    // The unit says the weighting the bars read through; a figure it would run into is left out.
    const char* unit = weighting == 1 ? "dBA" : weighting == 2 ? "dBC" : "dB";
    const int unit_right = g.left + CellWidth / 2 + dc.text_width(unit);
    for (int db : {-60, -50, -40, -30, -20, -10, -6, -3, 0}) {
        const std::string t = format_text("%d", db);
        const int x = MeterStripX(g, db);
        if (db == -6 || db == -3) dc.fill_rect(x, y - Y / 4, x + 1, y + Y / 4, kFigure);
        if (x - dc.text_width(t) / 2 > unit_right) dc.text_out(x - dc.text_width(t) / 2, y + Y / 4, t);
    }
    dc.text_out(g.left + CellWidth / 2, y + Y / 4, unit);
    figure_at_right(dc, g.peak_right, y + Y / 4, JapaneseUi ? "ﾋﾟｰｸ" : "Peak");
    figure_at_right(dc, g.rms_right, y + Y / 4, "RMS");
}

// The momentary loudness as a bar on the same scale, the short-term value as a white mark and the
// target as a yellow one; then the figures.
void loudness(Dc& dc, const MeterStripLayout& g, const LoudnessReading& l) {
    const int X = CellWidth, Y = CellHeight, top = g.row(3) + Y / 2;
    const double m = l.momentary_ready ? l.momentary : kSilentDb;
    const int lit = m > kLowestDb ? MeterStripX(g, m) : g.bar_left;
    fill(dc, g.bar_left, lit, top, Y, kLoudness);
    fill(dc, lit, g.bar_right, top, Y, kLoudnessDim);
    if (l.short_term_ready && l.short_term > kLowestDb) mark(dc, MeterStripX(g, l.short_term), top, Y, kWhite);
    const double target = Settings.loudness_target / 10.0;
    mark(dc, MeterStripX(g, target), top, Y + Y / 4, kTarget);

    dc.set_text_color(kLabel);
    dc.text_out(g.left + X / 2, g.row(3), JapaneseUi ? "瞬時" : "M");
    dc.set_text_color(kTarget);
    figure_at_right(dc, g.rms_right, g.row(3), (JapaneseUi ? "目標 " : "target ") + TargetText(Settings.loudness_target));
    dc.set_text_color(kWhite);
    const std::string lufs = JapaneseUi
        ? format_text("瞬時 %s  短時間 %s  統合 %s LUFS  LRA %4.1f LU  TP %s dBTP",
                      MeterFigure(m).c_str(), MeterFigure(l.short_term_ready ? l.short_term : kSilentDb).c_str(),
                      MeterFigure(l.integrated).c_str(), l.range, MeterFigure(l.true_peak).c_str())
        : format_text("M %s  S %s  I %s LUFS  LRA %4.1f LU  TP %s dBTP", MeterFigure(m).c_str(),
                      MeterFigure(l.short_term_ready ? l.short_term : kSilentDb).c_str(),
                      MeterFigure(l.integrated).c_str(), l.range, MeterFigure(l.true_peak).c_str());
    dc.text_out(g.left + X / 2, g.row(4), lufs);
}

}  // namespace

MeterStripLayout MeterStripGeometry() {
    const int X = CellWidth, Y = CellHeight, W = WindowWidth;
    MeterStripLayout g;
    g.left = X;
    g.right = W - X;
    g.top = MeterStripTop() + Y / 2;
    g.bottom = MeterStripTop() + MeterStripHeight() - Y / 2;
    g.row_height = 2 * Y;
    g.bar_left = 6 * X;
    g.bar_right = W - 15 * X;
    g.peak_right = W - 8 * X;
    g.rms_right = W - 2 * X;
    return g;
}

int MeterStripX(const MeterStripLayout& g, double db) {
    const double share = std::clamp((db - kLowestDb) / -kLowestDb, 0.0, 1.0);
    return g.bar_left + int(std::lround(share * (g.bar_right - g.bar_left)));
}

std::string TargetText(int tenths) {
    return tenths % 10 == 0 ? format_text("%d", tenths / 10) : format_text("%.1f", tenths / 10.0);
}

std::string MeterFigure(double db) {
    if (!(db > -100)) return "  ---";
    return format_text("%5.1f", std::min(db, 99.9));
}

void DrawMeterStrip(Dc& dc, const MeterStripReading& r) {
    if (Settings.level_meter == kMeterPeakAlone) return;
    const MeterStripLayout g = MeterStripGeometry();
    DcStateGuard saved(dc);
    dc.set_bk_mode(BkMode::Transparent);
    dc.fill_rect(g.left, g.top, g.right, g.bottom, kBlack);
    const int channels = r.channels > 0 ? std::min(r.channels, 2) : 2;
    for (int c = 0; c < channels; ++c) {
        const ChannelMeterReading& ch = r.channel[size_t(c)];
        level_bar(dc, g, c, ch);
        dc.set_text_color(kLabel);
        if (channels == 2) dc.text_out(g.left + CellWidth / 2, g.row(c), JapaneseUi ? (c ? "右" : "左") : (c ? "R" : "L"));
        dc.set_text_color(kWhite);
        figure_at_right(dc, g.peak_right, g.row(c), MeterFigure(ch.peak));
        figure_at_right(dc, g.rms_right, g.row(c), MeterFigure(ch.rms));
    }
    scale(dc, g, r.weighting);
    if (Settings.level_meter == kMeterStripLoudness) loudness(dc, g, r.loudness);
}

bool InMeterStrip(int x, int y) {
    if (Settings.level_meter == kMeterPeakAlone) return false;
    const MeterStripLayout g = MeterStripGeometry();
    return x >= g.left && x < g.right && y >= g.top && y < g.bottom;
}

}  // namespace dl
