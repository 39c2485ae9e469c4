#pragma once
#include "analysis/block_analysis.h"
#include "analysis/block_view.h"
#include "platform/dc.h"

namespace dl {

// Shows a tick's measured block on the window: the mouse read-out and the range band step aside
// while the analysis is drawn. Nothing when the run keeps no picture or the block is for the rows
// alone.
void PresentBlock(Dc& dc, const BlockAnalysis& a, AnalysisPurpose purpose);

}  // namespace dl
