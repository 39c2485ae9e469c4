#pragma once
#include "display/graph_area.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/settings.h"

namespace dl {

// Where things sit in the client area, in the layout units of the fixed font.

// True when the window is too narrow for the amplitude scale right of the graph.
inline bool ScaleColumnHasNoRoom() { return 2 * CellWidth + GraphWidth == WindowWidth; }

// The side panel sits above the graph at the top right in the wide layout.
inline bool WideLayout() { return GraphWidth > 512 || CellWidth < 7; }

// True when the colour legend is shown at all: a bar graph with the colour scale.
inline bool NoteLegendShown() { return Settings.ColorScale != 0 && Settings.graph == kGraphBar; }

// The border around the graph stands out only against a very dark or very light face.
enum class BorderChoice { None, White, Black };
inline BorderChoice BorderForFace(int face_luma) {
    return face_luma < 32 ? BorderChoice::White : face_luma > 224 ? BorderChoice::Black : BorderChoice::None;
}

struct SidePanel {
    int x0 = 0, y0 = 0, h = 0;
};
inline SidePanel SidePanelGeometry() {
    const int X = CellWidth, Y = CellHeight, W = GraphWidth;
    if (WideLayout()) return {WindowWidth - 15 * X, 0, 19 * Y};
    if (X <= 9) return {W + 2 * X, 22 * Y, GraphHeight - 13 * Y};
    return {W + 11 * X, GraphTop(), GraphHeight - 4 * Y};
}

}  // namespace dl
