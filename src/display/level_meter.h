#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "platform/dc.h"
#include "platform/font.h"

namespace dl {

void DrawLevels(Dc& dc, uint32_t level, int top, int height, uint32_t unit);
void DrawLevelSegments(Dc& dc, uint32_t level, int top, int height, uint32_t unit);
void DrawLevelBar(Dc& dc, uint32_t level, int top, int height, uint32_t unit);
// The bold font of the "Left"/"Right" captions, of the interface's character set.
std::unique_ptr<Font> CreateChannelCaptionFont();
void DrawChannelLabels(Dc& dc);
void ClearHeldPeaks();

}  // namespace dl
