#include "display/block_drawing.h"

#include "display/extra_trace.h"
#include "display/frame.h"
#include "display/graph_area.h"
#include "display/level_meter.h"
#include "display/meter_strip.h"
#include "display/peak_labels.h"
#include "display/readouts.h"
#include "display/spectrum_graphs.h"
#include "display/tuner_readout.h"
#include "resources/string_table.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

namespace {

// Holds the tick's window context in the DrawSurface slot while the graph is drawn straight
// to the window.
struct DirectDrawing {
    bool active = false;
    ~DirectDrawing() {
        if (active) DrawSurface = nullptr;
    }
};

void DrawSpectrumPart(Dc& dc, const BlockAnalysis& a) {
    DirectDrawing direct;
    if (!Settings.UseMemDC || !DrawSurface) {
        DrawSurface = &dc;
        direct.active = true;
    }
    Dc& target = *DrawSurface;
    // The tuner stands on the graph and the peak labels over it: none is lost under it.
    HideTunerReadout(target);
    if (a.peak_shown) DrawPeakReadout(dc, a);
    DrawViewGraph(target, a.n, a.levels, a.spectrum_seconds);
    DrawExtraTrace(target, a.second_levels, a.n / 2, SecondTraceColour());
    DrawExtraTrace(target, a.min_levels, a.n / 2, MinHoldColour());
    DrawExtraTrace(target, a.max_levels, a.n / 2, MaxHoldColour());
    ShowTunerReadout(target, a);
    if (a.peak_list) DrawPeakList(target, a);
    if (a.a4_shown) DrawA4Readout(a);

    if (!direct.active) {
        CopyGraph(dc, target);
    } else if (Settings.futosa == 2) {
        // The fat trace reaches one column past the graph: the border there is drawn again.
        const int edge = GraphRight(), y = GraphTop();
        switch (BorderRop) {
        case BorderRopKind::Whiteness: dc.pat_blt(edge, y, 1, GraphHeight, Rop::Whiteness); break;
        case BorderRopKind::Blackness: dc.pat_blt(edge, y, 1, GraphHeight, Rop::Blackness); break;
        case BorderRopKind::None: FillFace(dc, edge, y, edge + 1, GraphBottom()); break;
        }
    }
}

}  // namespace

void DrawBlockAnalysis(Dc& dc, const BlockAnalysis& a) {
    if (a.level_unavailable) {
        DcStateGuard saved(dc);
        dc.set_text_color(kWhite);
        dc.set_bk_color(kBlack);
        dc.text_out(39 * CellWidth, 2 * CellHeight + CellHeight / 2,
                    JapaneseUi ? "レベル表示不可" : LoadStringText(StringId::LevelUnavailable));
        return;
    }
    // One meter three rows high, or a row for each channel with a row between.
    const int y = CellHeight;
    for (int i = 0; i < a.meter_count; ++i) {
        const MeterReading& m = a.meters[size_t(i)];
        if (a.meter_count == 1) DrawLevels(dc, m.level, 2 * y, 3 * y, m.unit);
        else DrawLevels(dc, m.level, (2 + 2 * i) * y, y, m.unit);
    }
    if (a.strip.bars) DrawMeterStrip(dc, a.strip);
    // Frozen, the graph and its read-outs keep the picture they had; the meters go on.
    if (a.spectrum && !Settings.Freeze) DrawSpectrumPart(dc, a);
}

}  // namespace dl
