#pragma once
#include "analysis/block_analysis.h"
#include "analysis/block_view.h"
#include "platform/dc.h"

namespace dl {

// Shows a tick's measured block on the window: the mouse read-out and the range band step aside
// while the analysis is drawn. Nothing for a block meant for the rows alone. The program puts it
// in place as the run's PresentAnalysedBlock where the run keeps a picture.
void PresentBlock(Dc& dc, const BlockAnalysis& a, AnalysisPurpose purpose);

}  // namespace dl
