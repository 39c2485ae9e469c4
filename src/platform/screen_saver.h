#pragma once

namespace dl {

// Keeps the desktop's screen saver away while on (monitoring), through the freedesktop
// ScreenSaver interface of the session; off lets it come again. Nothing happens where the
// desktop offers no such interface.
void inhibit_screen_saver(bool on);

}  // namespace dl
