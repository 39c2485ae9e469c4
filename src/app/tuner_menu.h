#pragma once
#include <vector>

#include "platform/main_window.h"

namespace dl {

// View › Tuner partial: the partial of the note the tuner reads, the fundamental or one of the
// seven above it. True for the submenu this file answers.
bool IsTunerSubmenu(int id);
std::vector<SubmenuEntry> TunerSubmenu(int id);
void ChooseInTunerSubmenu(int id, int index);

}  // namespace dl
