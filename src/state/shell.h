#pragma once
// The program's surroundings: the platform, the interface language, the window and the file named.
// Written by: app (start-up, the window's commands, the batch commands)
// Read by: every layer above state
#include <cstdint>
#include <string>

namespace dl {

class MainWindow;

// The platform version as major * 256 + minor; this platform reports one at or above 1536 so the
// modern branches run, but the thresholds stay testable.
inline constexpr int kThisPlatformVersion = 0x0A00;

struct ShellRecord {
    int PlatformVersion = kThisPlatformVersion;
    // Every user-visible text is chosen by this.
    bool JapaneseUi = false;
    bool MinimisedFlag = false;
    std::string FileName;                 // the chosen sound file; empty means none
    MainWindow* TheMainWindow = nullptr;  // null in batch mode
    // Input devices found at start-up and their formats (WAVE_FORMAT_* bits).
    int WaveInDeviceCount = 0;
    uint32_t WaveInFormatMask = 0;
    // /P: the initial source starts at once.
    bool StartupAutoStart = false;
};
inline ShellRecord Shell;

// The names the program uses for the record's fields.
inline auto& PlatformVersion = Shell.PlatformVersion;
inline auto& JapaneseUi = Shell.JapaneseUi;
inline auto& MinimisedFlag = Shell.MinimisedFlag;
inline auto& FileName = Shell.FileName;
inline auto& TheMainWindow = Shell.TheMainWindow;
inline auto& WaveInDeviceCount = Shell.WaveInDeviceCount;
inline auto& WaveInFormatMask = Shell.WaveInFormatMask;
inline auto& StartupAutoStart = Shell.StartupAutoStart;

}  // namespace dl
