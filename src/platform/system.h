#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/colour.h"

namespace dl {

// Milliseconds of a steady clock (wraps like a 32-bit tick count).
uint32_t time_get_time();
void sleep_ms(int ms);

// With a clock installed (tests) time_get_time reads it and sleep_ms waits on it, so what the program
// times does not depend on how busy the machine is; empty functions give the steady clock back.
struct ClockHook {
    std::function<uint32_t()> now;
    std::function<void(int ms)> sleep;
};
void set_clock_hook(ClockHook hook);

bool shift_down();

// True when the first set of LC_ALL, LC_MESSAGES, LANG names Japanese.
bool japanese_locale();

enum class SysColour { Window, WindowText, ButtonFace, ButtonText };
Rgb system_colour(SysColour which);

int screen_width();

// Opens a local file (the help page) in the desktop's browser; false when it cannot.
bool open_in_browser(const std::string& path);

// Where data files (kijun.wav, the help page, the demo sound) live.
std::string data_dir();

}  // namespace dl
