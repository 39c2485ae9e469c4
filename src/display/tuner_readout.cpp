#include "display/tuner_readout.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/partial_reading.h"
#include "display/graph_area.h"
#include "display/overlay.h"
#include "platform/font.h"
#include "platform/format_text.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

namespace {

constexpr Rgb kGrey{128, 128, 128};

// Green when in tune (5 cents), amber when close (15), red beyond; darker on a light background.
Rgb needle_colour(double cents) {
    const double off = std::fabs(cents);
    if (off <= 5) return DarkScheme ? Rgb{0, 220, 0} : Rgb{0, 140, 0};
    if (off <= 15) return DarkScheme ? Rgb{240, 180, 0} : Rgb{190, 120, 0};
    return DarkScheme ? Rgb{255, 70, 70} : Rgb{200, 0, 0};
}

// Fonts of the read-out, made once for the cell height they were made for.
struct TunerFonts {
    int cell = 0;
    std::unique_ptr<Font> note, cents;
};

const TunerFonts& fonts() {
    static TunerFonts f;
    if (f.cell != CellHeight) {
        f.cell = CellHeight;
        f.note = Font::create(-6 * CellHeight, 700, false, "Courier New", true);
        f.cents = Font::create(-3 * CellHeight, 700, false, "Courier New", true);
    }
    return f;
}

}  // namespace

TunerReading ReadTuner(const BlockAnalysis& a) {
    TunerReading r;
    r.partial = std::clamp(Settings.tuner_partial, kFirstPartial, kLastPartial);
    r.voiced = a.f0_voiced;
    if (!r.voiced) return r;
    r.inharmonicity = a.f0_inharmonicity;
    if (r.partial == 1) {
        r.note = a.f0_note;
        r.cents = a.f0_cents;
        r.frequency = a.f0_frequency;
        return r;
    }
    const PartialReading p = ReadPartial(a.f0_frequency, a.f0_inharmonicity, r.partial, Settings.reference_a4);
    r.note = p.note;
    r.cents = p.cents;
    r.frequency = p.frequency;
    return r;
}

std::string TunerCentsText(double cents) { return format_text("%+ld", std::lround(cents)); }

int TunerNeedleOffset(double cents, int half) {
    return int(std::lround(std::clamp(cents, -50.0, 50.0) / 50 * half));
}

void HideTunerReadout(Dc& window) { RestoreUnderOverlay(window, Tuner); }

void ForgetTunerReadout() { Tuner.shown = false; }

void RedrawTunerReadout(const BlockAnalysis& a) {
    WindowDc window;
    Dc& target = Settings.UseMemDC && DrawSurfaceStore.dc ? *DrawSurfaceStore.dc : window.dc();
    HideTunerReadout(target);
    if (Settings.tuner && a.spectrum) ShowTunerReadout(target, a);
    if (&target != &window.dc()) CopyGraph(window.dc(), target);
}

void ShowTunerReadout(Dc& window, const BlockAnalysis& a) {
    TunerRecord& t = Tuner;
    if (!Settings.tuner || t.shown) return;
    const int X = CellWidth, Y = CellHeight;
    t.left = GraphLeft() + 1;
    t.top = GraphTop() + 1;
    t.width = std::min(22 * X, GraphWidth - 2);
    t.height = 15 * Y;
    SaveUnderOverlay(window, t);
    t.shown = true;

    DcStateGuard keep(window);
    const Rgb pen = window.select_pen(kGrey);
    const Rgb back = DarkScheme ? kBlack : kWhite, fore = DarkScheme ? kWhite : kBlack;
    const int l = t.left, top = t.top, r = t.left + t.width, bottom = t.top + t.height;
    window.fill_rect(l, top, r, bottom, back);
    window.move_to(l, top);
    window.line_to(r - 1, top);
    window.line_to(r - 1, bottom - 1);
    window.line_to(l, bottom - 1);
    window.line_to(l, top);
    window.set_bk_mode(BkMode::Transparent);
    const TunerReading reading = ReadTuner(a);
    window.set_text_color(reading.voiced ? fore : kGrey);

    const TunerFonts& f = fonts();
    const Font* previous = window.select_font(f.note.get());
    window.text_out(l + X, top + 1, reading.voiced ? reading.note : "--");
    if (reading.voiced) {
        window.select_font(f.cents.get());
        const std::string cents = TunerCentsText(reading.cents);
        window.text_out(r - X - window.text_width(cents), top + Y, cents);
    }
    // The scale: a half semitone either way of the note, ticks every quarter of it.
    const int mid = l + t.width / 2, half = t.width / 2 - 2 * X, y = top + 8 * Y;
    window.select_pen(kGrey);
    window.move_to(mid - half, y);
    window.line_to(mid + half + 1, y);
    for (int q = -2; q <= 2; ++q) {
        const int x = mid + q * half / 2, reach = q == 0 ? Y : Y / 2;
        window.move_to(x, y - reach);
        window.line_to(x, y + reach + 1);
    }
    if (reading.voiced) {
        const int x = mid + TunerNeedleOffset(reading.cents, half);
        window.fill_rect(x - 1, y - Y - 2, x + 2, y + Y + 3, needle_colour(reading.cents));
    }

    // The frequency, and the reference when it is not the usual one; under them the partial read
    // when it is not the fundamental, and how stiff a string is.
    window.select_font(nullptr);
    const int line = top + 11 * Y - 1, under = line + 2 * Y;
    if (reading.voiced) window.text_out(l + X, line, format_text("%.1fHz", reading.frequency));
    if (Settings.reference_a4 != 4400) {
        const std::string ref = format_text(JapaneseUi ? "基準A4=%.1f" : "A4=%.1f", ReferenceA4());
        window.set_text_color(fore);
        window.text_out(r - X - window.text_width(ref), line, ref);
    }
    window.set_text_color(reading.voiced ? fore : kGrey);
    if (reading.partial > 1) window.text_out(l + X, under, format_text(JapaneseUi ? "第%d部分音" : "partial %d", reading.partial));
    if (reading.voiced && reading.inharmonicity > 0) {
        const std::string b = format_text("B=%.5f", reading.inharmonicity);
        window.text_out(r - X - window.text_width(b), under, b);
    }
    window.select_font(previous);
    window.select_pen(pen);
}

}  // namespace dl
