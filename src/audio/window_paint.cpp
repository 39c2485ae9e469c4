#include "audio/window_paint.h"

#include "app/shell_state.h"
#include "app/window_dc.h"
#include "audio/position_line.h"
#include "audio/source_panel.h"
#include "display/frame.h"
#include "display/level_meter.h"
#include "platform/system.h"

namespace dl {

void RecomputeDarkScheme() {
    DarkScheme = luma(system_colour(SysColour::WindowText)) >= luma(system_colour(SysColour::Window));
}

void PaintClientArea(Dc& dc) {
    const int X = CellWidth, Y = CellHeight;
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
}

}  // namespace dl
