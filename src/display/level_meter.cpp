#include "display/level_meter.h"

#include <algorithm>
#include <cmath>

#include "platform/font.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/view.h"

namespace dl {

namespace {

struct Lamp {
    uint32_t lit, dim;
};

enum Zone { kGreen, kYellow, kRed, kOverload, kDb5, kDb4, kDb3, kDb2, kDb1 };

Lamp ZoneColours(Zone z) {
    static const Lamp normal[] = {{0x00FF00, 0x008000}, {0xFFFF00, 0x808000}, {0xFF0000, 0x800000},
                                  {0xFF0000, 0x800000}, {0x0000FF, 0x000080}, {0x00FFFF, 0x008080},
                                  {0x00FF00, 0x008000}, {0xFFFF00, 0x808000}, {0xFF0000, 0x800000}};
    static const Lamp mono[] = {{0x00FFFF, 0x000080}, {0xFFFF00, 0x800000}, {0x00FFFF, 0x000080},
                                {0xFFFF00, 0x800000}, {0x00FFFF, 0x000080}, {0xFFFF00, 0x800000},
                                {0x00FFFF, 0x000080}, {0xFFFF00, 0x800000}, {0x00FFFF, 0x000080}};
    return Settings.monochrome ? mono[z] : normal[z];
}

Rgb Colour(Zone z, bool lit) {
    const Lamp l = ZoneColours(z);
    return rgb(lit ? l.lit : l.dim);
}

uint32_t& HeldPeak(int top) { return PeakHoldValues[top == 2 * CellHeight ? 0 : 1]; }

void Fill(Dc& dc, int x, int top, int width, int height, Rgb colour) {
    if (width > 0) dc.fill_rect(x, top, x + width, top + height, colour);
}

void WhiteMark(Dc& dc, int x, int top, int width, int height) {
    if (width > 0) dc.pat_blt(x, top, width, height, Rop::Whiteness);
}

// 2^(-1/6): one decibel of a power ratio in amplitude.
constexpr double kDbStep = 0.890898718140339;
uint32_t NextThreshold(uint32_t t) { return uint32_t(t * kDbStep + 0.5); }

void DrawDecibelSegments(Dc& dc, uint32_t a, int top, int height, uint32_t b) {
    const int X = CellWidth;
    const uint32_t FS = 16 * b;
    struct Group {
        double first;
        int n_from, count;
        Zone zone;
    };
    const Group groups[] = {{16.0 * b, 48, 3, kDb1},
                            {8.0 * b * std::sqrt(2.0), 42, 3, kDb2},
                            {8.0 * b, 36, 6, kDb3},
                            {4.0 * b, 24, 6, kDb4},
                            {2.0 * b, 12, 6, kDb5}};
    for (const Group& g : groups) {
        uint32_t t = uint32_t(g.first * kDbStep + 0.5);
        for (int k = 0, n = g.n_from; k < g.count; ++k, n -= 2) {
            Fill(dc, 37 * X + (n * X) / 2, top, X / 2, height, Colour(g.zone, t < a));
            t = NextThreshold(t);
        }
    }
    Fill(dc, 62 * X, top, X, height, Colour(kOverload, a > FS - 2));
    if (Settings.PeakHold == 0) return;
    const uint32_t peak = HeldPeak(top);
    uint32_t t = uint32_t(16.0 * b * kDbStep + 0.5);
    int n = 48;
    while (t >= peak && n > 0) {
        t = NextThreshold(t);
        n -= 2;
    }
    if (peak > FS - 2) n = 51;
    if (n > 0) WhiteMark(dc, 37 * X + ((n + 1) * X) / 2 - X / 4, top, X / 4, height);
}

void DrawDecibelBar(Dc& dc, uint32_t a, int top, int height, uint32_t b) {
    const int X = CellWidth;
    const uint32_t FS = 16 * b;
    const double d = a == 0 ? -99.0 : 20.0 * std::log10(double(a) / FS);
    auto clamp = [](double v, int hi) { return std::clamp(int(v), 0, hi); };
    struct Part {
        int x, width, lit;
        Zone zone;
    };
    const Part parts[] = {
        {38 * X, 6 * X, clamp((d + 24) * X, 6 * X), kDb5},
        {44 * X, 6 * X, clamp((d + 18) * X, 6 * X), kDb4},
        {50 * X, 6 * X, clamp((d + 12) * X, 6 * X), kDb3},
        {56 * X, 3 * X, clamp((d + 6) * X, 3 * X), kDb2},
        {59 * X, 3 * X + 1, d >= -0.1 ? 3 * X + 1 : std::max(0, int((d + 3) * X)), kDb1},
    };
    for (const Part& p : parts) {
        Fill(dc, p.x, top, p.lit, height, Colour(p.zone, true));
        Fill(dc, p.x + p.lit, top, p.width - p.lit, height, Colour(p.zone, false));
    }
    if (Settings.PeakHold == 0) return;
    const uint32_t pk = std::min(HeldPeak(top), FS);
    const double dp = pk == 0 ? -99.0 : 20.0 * std::log10(double(pk) / FS);
    if (dp > -24) WhiteMark(dc, int((dp + 24) * X + 38 * X), top, 1, height);
}

}  // namespace

void ClearHeldPeaks() { PeakHoldValues = {0, 0}; }

void DrawLevels(Dc& dc, uint32_t level, int top, int height, uint32_t unit) {
    const uint32_t a = level, b = unit, FS = 16 * b;
    uint32_t& peak = HeldPeak(top);
    if (Settings.PeakHold == 1) {
        // A fall a time slice, whatever the pictures a slice.
        const double share = PictureShareOfSlice;
        if (Settings.Decibel)
            peak = uint32_t(peak * (share == 1.0 ? 0.97 : std::pow(0.97, share)) + 0.25);
        else if (share == 1.0)
            peak = peak > b / 4 ? peak - b / 4 : 0;
        else
            peak = uint32_t(std::max(0.0, peak - b / 4 * share));
    }
    if (a > peak) peak = a;
    if (a > FS - 2) peak = 17 * b;
    if (!Settings.Decibel)
        DrawLevelSegments(dc, a, top, height, b);
    else if (FastLevelStyle)
        DrawDecibelBar(dc, a, top, height, b);
    else
        DrawDecibelSegments(dc, a, top, height, b);
}

void DrawLevelSegments(Dc& dc, uint32_t level, int top, int height, uint32_t unit) {
    if (FastLevelStyle) {
        DrawLevelBar(dc, level, top, height, unit);
        return;
    }
    const int X = CellWidth;
    const uint32_t a = level, b = unit, FS = 16 * b;
    for (uint32_t k = 0; k < 16; ++k) {
        const Zone z = k < 8 ? kGreen : k < 12 ? kYellow : kRed;
        Fill(dc, 37 * X + (int(2 + 3 * k) * X) / 2, top, X, height, Colour(z, k * b < a));
    }
    Fill(dc, 62 * X, top, X, height, Colour(kOverload, a > FS - 2));
    const uint32_t peak = HeldPeak(top);
    if (Settings.PeakHold == 0 || peak == 0 || b == 0) return;
    const int f = peak > FS - 2 ? 50 : int(3 * ((peak - 1) / b) + 2);
    WhiteMark(dc, 37 * X + (f * X) / 2 + X - X / 4, top, X / 4, height);
}

void DrawLevelBar(Dc& dc, uint32_t level, int top, int height, uint32_t unit) {
    const uint32_t X = uint32_t(CellWidth);
    const uint32_t a = level, b = unit, FS = 16 * b;
    if (b == 0) return;
    const uint32_t w = std::min(12 * X, (a * 24 * X / b) / 16);
    Fill(dc, int(38 * X), top, int(w), height, Colour(kGreen, true));
    Fill(dc, int(38 * X + w), top, int(12 * X - w), height, Colour(kGreen, false));
    const uint32_t e = a < 8 * b ? 0 : std::min(6 * X, ((a - 8 * b) * 24 * X / b) / 16);
    Fill(dc, int(50 * X), top, int(e), height, Colour(kYellow, true));
    Fill(dc, int(50 * X + e), top, int(6 * X - e), height, Colour(kYellow, false));
    const uint32_t g = a < 12 * b ? 0 : a < FS - 1 ? ((a - 12 * b) * 24 * X / b) / 16 : 6 * X + 1;
    Fill(dc, int(56 * X), top, int(g), height, Colour(kRed, true));
    Fill(dc, int(56 * X + g), top, int(6 * X + 1) - int(g), height, Colour(kRed, false));
    if (Settings.PeakHold == 0) return;
    const uint32_t l = std::min(HeldPeak(top), FS);
    if (l > 0) WhiteMark(dc, int(l * 24 * X / b / 16 + 38 * X), top, 1, height);
}

std::unique_ptr<Font> CreateChannelCaptionFont() {
    const int Y = CellHeight;
    // The Japanese character set only for the Japanese captions: its font draws small bold Latin
    // letters badly ("Left" reads as "Loft").
    return Font::create(PlatformVersion < 863 ? -Y : -(3 * Y) / 2, 700, JapaneseUi, "", false);
}

void DrawChannelLabels(Dc& dc) {
    if (SourceState.mode == SourceMode::None) return;
    const int X = CellWidth, Y = CellHeight;
    dc.set_text_color(rgb(0xFFFF00));
    dc.set_bk_mode(BkMode::Transparent);
    if (SourceInfo.ChannelLayout >= 2) {
        const bool old_platform = PlatformVersion < 863;
        std::unique_ptr<Font> font = CreateChannelCaptionFont();
        const Font* old_font = dc.select_font(font.get());
        const int shift = old_platform ? 0 : 1;
        dc.text_out(64 * X, 2 * Y - shift, JapaneseUi ? "ＬＥＦＴ" : "  Left  ");
        dc.text_out(64 * X, 4 * Y - shift, JapaneseUi ? "ＲＩＧＨＴ" : "  Right   ");
        dc.select_font(old_font);
    } else {
        const Font* old_font = dc.select_font(nullptr);
        dc.text_out(37 * X + (53 * X) / 2, 2 * Y + Y / 2, JapaneseUi ? "モノラル" : "Monaural");
        dc.select_font(old_font);
    }
}

}  // namespace dl
