#include "display/present_block.h"

#include "display/block_drawing.h"
#include "display/hover_readout.h"
#include "display/range_band.h"

namespace dl {

void PresentBlock(Dc& dc, const BlockAnalysis& a, AnalysisPurpose purpose) {
    if (purpose == AnalysisPurpose::RowsOnly) return;
    HideHoverReadout(dc);
    HideRangeBand(dc);
    DrawBlockAnalysis(dc, a);
    ShowRangeBand(dc);
    ShowHoverReadout(dc);
}

}  // namespace dl
