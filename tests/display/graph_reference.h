#pragma once
// The graphs drawn bin by bin, operation for operation, as the straightforward reading of their
// rules: the fast routines must leave exactly the same pixels.
#include <cmath>
#include <cstdint>

#include "display/frame.h"
#include "display/spectrum_graphs.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"

namespace dl_test {

inline void ReferenceClear(dl::Dc& dc) {
    using namespace dl;
    dc.pat_blt(CellWidth, 13 * CellHeight, GraphWidth, 256, DarkScheme ? Rop::Blackness : Rop::Whiteness);
}

inline dl::Rgb ReferenceGridPen() { return dl::DarkScheme ? dl::rgb(0x808080) : dl::rgb(0xFFFF00); }

template <class XOf>
void ReferenceTrace(dl::Dc& dc, const uint8_t* d, int B, XOf x) {
    using namespace dl;
    const int Y = CellHeight;
    const Rgb old = DarkScheme ? dc.select_pen(kWhite) : dc.pen();
    dc.move_to(CellWidth, 13 * Y + d[0]);
    for (int i = 1; i < B; ++i) {
        dc.line_to(x(i), 13 * Y + d[i]);
        if (Settings.futosa == 2) {
            dc.move_to(x(i) + 1, 13 * Y + d[i]);
            dc.line_to(x(i - 1) + 1, 13 * Y + d[i - 1]);
            dc.move_to(x(i), 13 * Y + d[i]);
        }
    }
    if (DarkScheme) dc.select_pen(old);
}

template <class LeftOf, class WidthOf>
void ReferenceBars(dl::Dc& dc, const uint8_t* d, int B, LeftOf left, WidthOf width) {
    using namespace dl;
    const int Y = CellHeight;
    int previous = -1;
    Rgb old_brush = dc.brush();
    for (int i = 0; i < B; ++i) {
        const int top = 13 * Y + d[i], h = 256 - d[i];
        if (Settings.ColorScale) {
            const int pc = PitchClass(i, B, SourceInfo.sample_rate);
            if (i == 0 || pc != previous) dc.select_brush(CreateNoteBrush(pc));
            previous = pc;
            dc.pat_blt(left(i), top, width(i), h, Rop::PatCopy);
        } else {
            dc.pat_blt(left(i), top, width(i), h, DarkScheme ? Rop::Whiteness : Rop::Blackness);
        }
    }
    dc.select_brush(old_brush);
}

inline void ReferenceLinear(dl::Dc& dc, const uint8_t* d, int B) {
    using namespace dl;
    const int X = CellWidth, Y = CellHeight, W = GraphWidth;
    const int bpp = std::max(B / W, 1), ppb = std::max(W / B, 1);
    auto x = [&](int i) { return X + int((int64_t(i) * ppb) / bpp); };
    ReferenceClear(dc);
    const Rgb old = dc.select_pen(ReferenceGridPen());
    const double s = SourceInfo.khz % 11 == 0 ? 116.09977324263039 : 128;
    for (int k = 1; k * s + 0.5 < W; ++k) {
        dc.move_to(int(X + (k * s + 0.5)), 13 * Y + 256);
        dc.line_to(int(X + (k * s + 0.5)), 13 * Y);
    }
    DrawAmplitudeGrid(dc);
    dc.select_pen(old);
    int w = Settings.futosa == 2 ? 2 : 1;
    if (Settings.futosa == 2 && Settings.fftparam <= 9) w = W >> (Settings.fftparam - 1);
    if (Settings.graph == 116)
        ReferenceTrace(dc, d, B, x);
    else
        ReferenceBars(dc, d, B, x, [&](int) { return w; });
}

inline void ReferenceLog(dl::Dc& dc, const uint8_t* d, int B) {
    using namespace dl;
    const int X = CellWidth, Y = CellHeight, W = GraphWidth;
    const double span = std::log(2.0 * B);
    auto x = [&](int i) { return i == 0 ? X : X + int(W * std::log(2.0 * i) / span); };
    ReferenceClear(dc);
    const Rgb old = dc.select_pen(ReferenceGridPen());
    double top = SourceInfo.sample_rate / 2.0, g = SourceInfo.sample_rate / 4.0;
    if (SourceInfo.khz == 44) top = 22050, g = 20000;
    if (SourceInfo.khz == 22) top = 11025, g = 10000;
    if (SourceInfo.khz == 11) top = 5512.5, g = 5000;
    if (SourceInfo.khz == 88) top = 44100, g = 40000;
    double l;
    do {
        l = B * g / top;
        const int gx = int(X + W * std::log(2 * l) / span);
        dc.move_to(gx, 13 * Y);
        dc.line_to(gx, 13 * Y + 256);
        g /= 2;
    } while (l > 1);
    DrawAmplitudeGrid(dc);
    dc.select_pen(old);
    if (Settings.graph == 116) {
        ReferenceTrace(dc, d, B, x);
        return;
    }
    auto at = [&](double v) { return int(W * std::log(v) / span); };
    auto left = [&](int i) {
        if (Settings.futosa != 2) return i == 0 ? X : x(i);
        return X + (i == 0 ? 0 : i == 1 ? 3 : at(2.0 * i - 1));
    };
    auto width = [&](int i) {
        if (Settings.futosa != 2) return 1;
        const int L = i == 0 ? 0 : i == 1 ? 3 : at(2.0 * i - 1);
        int w = std::max(at(2.0 * i + 1) - L, 2);
        if (Settings.ColorScale ? i == 1 : w > 2) w -= 1;
        return w;
    };
    ReferenceBars(dc, d, B, left, width);
}

}  // namespace dl_test
