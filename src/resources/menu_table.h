#pragma once
#include <vector>

#include "platform/main_window.h"

namespace dl {

// Command identifiers of the menu and the buttons.
enum Command : int {
    kCmdMonitor = 101,
    kCmdExit = 104,
    kCmdAbout = 105,
    kCmdHelp = 106,
    kCmdLinear = 109,
    kCmdLog = 110,
    kCmdTuning = 111,
    kCmdPinkFlat = 114,
    kCmdExpand = 115,
    kCmdLineGraph = 116,
    kCmdBarGraph = 117,
    kCmdFatLine = 118,
    kCmdDecibel = 119,
    kCmdVoiceRange = 120,
    kCmdStart = 121,
    kCmdStop = 122,
    kCmdBeep = 123,
    kCmdOption = 124,
};

// The menu bar as stored ("dewlarkMenu").
const std::vector<MenuBarEntry>& menu_table();

struct JapaneseMenuText {
    int target;  // a command id, or -1..-4 for the four menus
    const char* text;
};
// The Japanese texts, mnemonic included.
const std::vector<JapaneseMenuText>& japanese_menu_texts();

}  // namespace dl
