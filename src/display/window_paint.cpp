#include "display/window_paint.h"

#include "display/frame.h"
#include "display/level_meter.h"
#include "display/meter_strip.h"
#include "display/position_line.h"
#include "display/source_panel.h"
#include "display/tuner_readout.h"
#include "platform/system.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/shell.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

void RecomputeDarkScheme() {
    DarkScheme = luma(system_colour(SysColour::WindowText)) >= luma(system_colour(SysColour::Window));
}

void PaintClientArea(Dc& dc) {
    const int X = CellWidth, Y = CellHeight;
    FitDrawSurfaceToWindow();
    ForgetTunerReadout();  // the graph is erased with everything else
    // The window's background is the button face, erased before the paint proper.
    dc.fill_rect(0, 0, dc.surface().width(), dc.surface().height(), system_colour(SysColour::ButtonFace));
    BlackenLevelPanel(dc);
    dc.fill_rect(X, Y, 36 * X, 12 * Y, DarkScheme ? kBlack : kWhite);
    SetSchemeTextColours(dc);
    const Font* previous = dc.select_font(nullptr);
    DrawFormatLines(dc);
    DrawLengthLine(dc);
    DrawPositionLine(dc);
    dc.select_font(previous);
    DrawChannelLabels(dc);
    DrawFrame(dc);
    DrawMeterStrip(dc, RunAnalyser.meters.last);
}

}  // namespace dl
