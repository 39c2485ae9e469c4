#pragma once
#include "platform/dc.h"
#include "state/analysis.h"

namespace dl {

// Draws a block's analysis: the level meter, the "Peak" read-out, the graph of the view, the peak
// labels and the "A4pitch" read-out; with UseMemDC the graph is composed on the DrawSurface and
// copied to dc.
void DrawBlockAnalysis(Dc& dc, const BlockAnalysis& a);

}  // namespace dl
