#pragma once
#include "platform/dc.h"

namespace dl {

// The band being dragged over the graph: a line at each end, over whatever the graph shows. It
// keeps what it covers, so that it goes without a trace, and comes back after each picture.
void SetRangeBand(Dc& window, int x0, int x1);
void ClearRangeBand(Dc& window);
bool RangeBandActive();
// Around each picture of the graph.
void HideRangeBand(Dc& window);
void ShowRangeBand(Dc& window);

}  // namespace dl
