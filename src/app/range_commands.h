#pragma once

namespace dl {

// The graphs' frequency and level range: typed in its dialog, the whole range again, or a band
// dragged sideways over the linear or log view (a double click there gives the whole range back).
void RangeCommand();
void WholeRangeCommand();

// The left button over the client area. A press on the graph only starts a band: it takes no
// more than a few pixels of travel before the release sets the range.
void RangePress(int x, int y);
void RangeMove(int x, int y);
// True when the release set a range.
bool RangeRelease(int x, int y);
// True when the double click was on the graph (and gave the whole range).
bool RangeDoubleClick(int x, int y);

}  // namespace dl
