#pragma once
#include <cstdint>
#include <string>

namespace dl {

class MainWindow;

// The platform version as major * 256 + minor; this platform reports one at or above 1536 so the
// modern branches run, but the thresholds stay testable.
inline constexpr int kThisPlatformVersion = 0x0A00;
inline int PlatformVersion = kThisPlatformVersion;

// Every user-visible text is chosen by this.
inline bool JapaneseUi = false;
inline bool MinimisedFlag = false;
inline std::string FileName;                 // the chosen sound file; empty means none
inline MainWindow* TheMainWindow = nullptr;  // null in batch mode

// Light-on-dark drawing, recomputed from the system colours at every paint.
inline bool DarkScheme = true;

// Input devices found at start-up and their formats (WAVE_FORMAT_* bits).
inline int WaveInDeviceCount = 0;
inline uint32_t WaveInFormatMask = 0;
// /P: the initial source starts at once.
inline bool StartupAutoStart = false;

}  // namespace dl
