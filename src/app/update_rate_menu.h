#pragma once
#include <vector>

#include "platform/main_window.h"

namespace dl {

// View › Pictures per second: how often a playing file's picture is drawn, or once a time slice.
// True for the submenu this file answers.
bool IsUpdateRateSubmenu(int id);
std::vector<SubmenuEntry> UpdateRateSubmenu(int id);
void ChooseInUpdateRateSubmenu(int id, int index);

}  // namespace dl
