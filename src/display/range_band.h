#pragma once
#include "platform/dc.h"

namespace dl {

// The band being dragged over the graph: a line at each end, over whatever the graph shows. It
// keeps what it covers, so that it goes without a trace, and comes back after each picture.
// Its ends are columns, or rows (`rows`) where the frequencies run up the graph.
void SetRangeBand(Dc& window, int a, int b, bool rows = false);
void ClearRangeBand(Dc& window);
bool RangeBandActive();
// Around each picture of the graph.
void HideRangeBand(Dc& window);
void ShowRangeBand(Dc& window);

}  // namespace dl
