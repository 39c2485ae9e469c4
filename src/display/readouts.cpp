#include "display/readouts.h"

#include "platform/format_text.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/shell.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

int FrequencyDecimals(double f) { return f >= 999.95 ? 0 : f >= 99.995 ? 1 : f >= 9.9995 ? 2 : 3; }

std::string FrequencyFigure(double f, int width) { return format_text("%*.*f", width, FrequencyDecimals(f), f); }

std::string PeakReadoutText(double f) { return "Peak " + FrequencyFigure(f, 5) + "Hz  "; }

std::string PeakLevelText(const LevelFigure& l) {
    return l.decibel ? format_text("%3ddb   ", l.decibels) : format_text("%5.3f ", l.amplitude);
}

std::string A4ReadoutText(double frequency, double cents) {
    return format_text("A4pitch %4.1fHz %3.0fcent", frequency, cents);
}

void DrawPeakReadout(Dc& dc, const BlockAnalysis& a) {
    DcStateGuard saved(dc);
    if (DarkScheme) SetSchemeTextColours(dc);
    dc.text_out(CellWidth, CellHeight, PeakReadoutText(a.peak_frequency));
    dc.text_out(14 * CellWidth, CellHeight, PeakLevelText(a.peak_level));
}

void DrawA4Readout(const BlockAnalysis& a) {
    WindowDc wdc;
    Dc& dc = wdc.dc();
    const Font* prev = dc.select_font(nullptr);
    if (DarkScheme) SetSchemeTextColours(dc);
    dc.text_out(CellWidth, 4 * CellHeight, A4ReadoutText(a.a4_frequency, a.a4_cents));
    dc.select_font(prev);
}

}  // namespace dl
