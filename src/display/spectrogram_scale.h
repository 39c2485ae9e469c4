#pragma once
#include "platform/dc.h"

namespace dl {

// The spectrogram's scale column: the log view's frequency labels beside the rows they name, and
// the colour key, 0 dB at the top down to -96 dB at the bottom, one table entry a row.
void DrawSpectrogramScale(Dc& dc, int khz, int bins);
// Left edge and width of the colour key.
int SpectrogramKeyLeft();
int SpectrogramKeyWidth();

}  // namespace dl
