#pragma once
#include <vector>

#include "platform/main_window.h"

namespace dl {

// View › Measure: averaging, holds, freeze, weighting and channel traces, with their shortcuts.
std::vector<SubmenuEntry> MeasureMenu();
void ChooseMeasureEntry(int index);
// Space freezes (while a run goes on; otherwise it stays the focused button's), Backspace resets,
// Ctrl+A, Ctrl+M, Ctrl+N, Ctrl+W and Ctrl+T step through averaging, holds, weighting and traces.
bool MeasureShortcut(Key key, KeyModifiers mods);

void ToggleFreeze();
// Averages and holds start afresh.
void ResetMeasurement();

}  // namespace dl
