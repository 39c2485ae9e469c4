#pragma once
#include <cstdint>
#include <string>

namespace dl {

class MainWindow;

// The platform version as major * 256 + minor; this platform reports one at or above 1536 so the
// modern branches run, but the thresholds stay testable.
inline constexpr int kThisPlatformVersion = 0x0A00;
inline int PlatformVersion = kThisPlatformVersion;

inline bool JapaneseUi = false;
inline int CellWidth = 8;   // layout unit: average character width of the fixed font
inline int CellHeight = 7;  // layout unit: half the character height
inline int CaptionMenuHeight = 0;
inline int GraphWidth = 512;
inline int WindowWidth = 592;
inline bool MinimisedFlag = false;
inline std::string FileName;          // the chosen sound file; empty means none
inline MainWindow* TheMainWindow = nullptr;  // null in batch mode

// Light-on-dark drawing, recomputed from the system colours at every paint.
inline bool DarkScheme = true;

inline constexpr int kPlayButton = 121, kStopButton = 122, kBeepButton = 123;

// Client-area height of the main window.
inline int client_height() { return 16 * CellHeight + 260; }

// Sets CellWidth/CellHeight from the stock fixed font's metrics.
void measure_layout_units();
// WindowWidth from GraphWidth, the cell width and the screen width.
int compute_window_width(int graph_width, int cell_width, int screen_width);

}  // namespace dl

namespace dl {

// Input devices found at start-up and their formats (WAVE_FORMAT_* bits).
inline int WaveInDeviceCount = 0;
inline uint32_t WaveInFormatMask = 0;
inline bool StartupAutoStart = false;

}  // namespace dl
