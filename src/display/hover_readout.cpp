#include "display/hover_readout.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/note_names.h"
#include "analysis/pipeline_levels.h"
#include "display/analysis_settings.h"
#include "display/frequency_axis.h"
#include "display/graph_area.h"
#include "display/level_scale.h"
#include "display/overlay.h"
#include "display/readouts.h"
#include "display/spectrogram.h"
#include "display/spectrogram_colours.h"
#include "platform/format_text.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

namespace {

constexpr double kDecibelsPerLevel = 10.0 / (10.2 * 2.302585092994046);

// Line position (fractional) at the left edge of graph column c (0 .. W) on the current axis.
double LineAt(double c, int bins) {
    return FrequencyAxis::OfView(bins).line_at(c);
}

int Bins() { return 1 << (std::clamp(Settings.fftparam, 8, 16) - 1); }

// The level a display level (depth below the graph's top) stands for, as the scale shows it.
std::string DepthText(int depth) {
    if (Settings.Decibel && DecibelRangeOnNow())
        return format_text("%.0fdB", DepthDecibels(depth));
    if (!Settings.Decibel) {
        const double gain = (Settings.Expand ? 4.0 : 1.0) * (Settings.katamuki ? 4.0 : 1.0);
        return format_text("%.3f", std::max((255.5 - depth) / 255, 0.0) / gain);
    }
    if (Settings.Expand) return format_text("%.0fdB", 108.57 * (-(depth - 0.49) / 510 - 0.2));
    return format_text("%.0fdB", -depth * kDecibelsPerLevel);
}

// The level of the last spectrum between lines [a, b), or at the line nearest to the middle
// where no line falls in between.
std::string SpectrumLevelText(double a, double b) {
    const BlockAnalysis& t = RunAnalyser.result;
    if (!t.spectrum || !t.levels || t.n / 2 != Bins()) return "";
    const int bins = t.n / 2;
    int first = int(std::ceil(a)), last = int(std::ceil(b)) - 1;
    if (first > last) first = last = int(std::lround((a + b) / 2));
    first = std::clamp(first, 0, bins - 1);
    last = std::clamp(last, 0, bins - 1);
    int depth = 255;
    for (int i = first; i <= last; ++i) depth = std::min(depth, int(t.levels[i]));
    return DepthText(depth);
}

// Against the reference A4, as the labels and the tuner name notes.
std::string NoteText(double f) {
    const double named = at_standard_pitch(f, Settings.reference_a4);
    if (note_of(named).pitch_class < 0) return "";
    return note_name(named) + SignedCents(cents_from_note(named)) + "c";
}

}  // namespace

double HoverFrequency(int x, int y) {
    if (!InGraph(x, y) || SourceInfo.sample_rate == 0) return 0;
    const int B = Bins();
    const double line_hz = SourceInfo.sample_rate / (2.0 * B);
    if (Settings.display == kViewSpectrogram) return SpectrogramBinAtRow(y - GraphTop(), B) * line_hz;
    return LineAt(x - GraphLeft() + 0.5, B) * line_hz;
}

std::string HoverReadoutText(int x, int y) {
    const double f = HoverFrequency(x, y);
    if (!(f > 0)) return "";
    std::string text = FrequencyFigure(f, 0) + "Hz " + NoteText(f);
    const int B = Bins(), c = x - GraphLeft(), r = y - GraphTop();
    std::string level;
    if (Settings.display == kViewSpectrogram) {
        const int k = SpectrogramCell(c, r);
        if (k >= 0) level = format_text("%.0fdB", SpectrogramIndexDecibels(k));
    } else {
        level = SpectrumLevelText(LineAt(c, B), LineAt(c + 1, B));
    }
    if (!level.empty()) text += " " + level;
    return text;
}

void HideHoverReadout(Dc& window) { RestoreUnderOverlay(window, Hover); }

void ShowHoverReadout(Dc& window) {
    HoverRecord& h = Hover;
    if (!h.inside || h.shown) return;
    const std::string text = HoverReadoutText(h.x, h.y);
    if (text.empty()) return;
    const Font* old_font = window.select_font(nullptr);
    const int X = CellWidth;
    h.width = window.text_width(text) + 4;
    h.height = 2 * CellHeight + 2;
    h.left = std::max(GraphLeft(), GraphRight() - h.width);
    h.top = GraphTop();
    SaveUnderOverlay(window, h, 32 * X);
    {
        DcStateGuard keep(window);
        window.set_bk_mode(BkMode::Opaque);
        window.set_text_color(DarkScheme ? kWhite : kBlack);
        window.set_bk_color(DarkScheme ? kBlack : kWhite);
        window.fill_rect(h.left, h.top, h.left + h.width, h.top + h.height, DarkScheme ? kBlack : kWhite);
        window.text_out(h.left + 2, h.top + 1, text);
    }
    window.select_font(old_font);
    h.shown = true;
}

void MoveHover(int x, int y) {
    HoverRecord& h = Hover;
    const bool inside = InGraph(x, y);
    if (!inside && !h.inside) return;  // nothing changes outside the graph
    WindowDc wdc;
    HideHoverReadout(wdc.dc());
    h.inside = inside;
    h.x = x;
    h.y = y;
    ShowHoverReadout(wdc.dc());
}

void LeaveHover() { MoveHover(-1, -1); }

}  // namespace dl
