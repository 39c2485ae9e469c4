#pragma once
#include <vector>

#include "platform/main_window.h"

namespace dl {

// View › Spectrogram span: the seconds across the spectrogram's width. True for the submenu this
// file answers.
bool IsSpectrogramSubmenu(int id);
std::vector<SubmenuEntry> SpectrogramSubmenu(int id);
void ChooseInSpectrogramSubmenu(int id, int index);

}  // namespace dl
