#pragma once
#include "platform/dc.h"

namespace dl {

// What a paint of the main window draws: the client area erased with the button face, the level
// panel, the source panel lines, the channel captions and the frame. The caller recomputes the
// scheme and sets the title.
void PaintClientArea(Dc& dc);
// DarkScheme from the system colours: window text at least as light as the window.
void RecomputeDarkScheme();

}  // namespace dl
