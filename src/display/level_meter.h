#pragma once
#include <array>
#include <cstdint>

#include "platform/dc.h"

namespace dl {

void DrawLevels(Dc& dc, uint32_t level, int top, int height, uint32_t unit);
void DrawLevelSegments(Dc& dc, uint32_t level, int top, int height, uint32_t unit);
void DrawLevelBar(Dc& dc, uint32_t level, int top, int height, uint32_t unit);
void DrawChannelLabels(Dc& dc);
void ClearHeldPeaks();

}  // namespace dl
