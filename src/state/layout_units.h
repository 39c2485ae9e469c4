#pragma once

namespace dl {

// Layout units of the stock fixed font: all geometry of the window is counted in them.
inline int CellWidth = 8;   // average character width
inline int CellHeight = 7;  // half the character height
inline int GraphWidth = 512;
inline int WindowWidth = 592;

// The meter strip under everything else (level_meter 1: two bar rows and the scale; 2: also the
// loudness bar and its figures), in pixels; 0 without it.
int MeterStripHeight();

// Client-area height of the main window: the strip, when there is one, below the rest.
inline int client_height() { return 16 * CellHeight + 260 + MeterStripHeight(); }
// Where the meter strip begins.
inline int MeterStripTop() { return 16 * CellHeight + 260; }

// Sets CellWidth/CellHeight from the stock fixed font's metrics.
void measure_layout_units();
// WindowWidth from GraphWidth, the cell width and the screen width.
int compute_window_width(int graph_width, int cell_width, int screen_width);

}  // namespace dl
