#pragma once
#include <memory>
#include <string>

#include "platform/dc.h"

namespace dl {

void FillFace(Dc& dc, int left, int top, int right, int bottom);
void DrawFrame(Dc& dc);
void DrawGraphBorder(Dc& dc);
void PrepareDisplayResources();
void ResizeDrawSurface();
// The window's end: its off-screen surface goes, and nothing is drawn through a context of it.
void ReleaseDrawSurface();
// Recreates the off-screen surface when the window's device-pixel ratio changed under it.
void FitDrawSurfaceToWindow();
// The LevelPanel (37X, Y)-(72X, 6Y) filled black.
void BlackenLevelPanel(Dc& dc);

}  // namespace dl
