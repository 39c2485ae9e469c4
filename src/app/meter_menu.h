#pragma once
#include <vector>

#include "platform/main_window.h"

namespace dl {

// The View menu's meter choices: whether the meter strip is shown (with the loudness or not), how
// its bars move, the loudness target. True for the submenus this file answers.
bool IsMeterSubmenu(int id);
std::vector<SubmenuEntry> MeterSubmenu(int id);
void ChooseInMeterSubmenu(int id, int index);

// Shows the meter strip as `mode` says (level_meter), the window growing or shrinking for it.
void SetLevelMeter(int mode);
// The strip's loudness, largest samples and held marks start again (View › Reset loudness,
// Ctrl+L, a click on the strip), and the strip shows it at once.
void ResetLoudnessCommand();

}  // namespace dl
