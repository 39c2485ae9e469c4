#pragma once
// The read-out under the mouse: over the graph, the frequency under the pointer, its note with
// cents, and the level the last spectrum had there, shown in the graph's top-right corner.
#include <string>

#include "platform/dc.h"

namespace dl {

// What the read-out says for a point of the client area in the current view; empty outside the
// graph or without a source.
std::string HoverReadoutText(int x, int y);
// The frequency (Hz) the current view's axis has at a point of the graph; 0 without a source.
double HoverFrequency(int x, int y);

// The pointer moved over the client area, or left it: the read-out follows on the window.
void MoveHover(int x, int y);
void LeaveHover();
// Around anything drawn in the graph on the window: the read-out goes away first and comes back
// after. Both return at once while the pointer is elsewhere.
void HideHoverReadout(Dc& window);
void ShowHoverReadout(Dc& window);

}  // namespace dl
