#pragma once
#include <vector>

#include "platform/main_window.h"
#include "resources/command_ids.h"

namespace dl {

// The menu bar as stored ("dewlarkMenu").
const std::vector<MenuBarEntry>& menu_table();

struct JapaneseMenuText {
    int target;  // a command id, or -1..-4 for the four menus
    const char* text;
};
// The Japanese texts, mnemonic included.
const std::vector<JapaneseMenuText>& japanese_menu_texts();

}  // namespace dl
