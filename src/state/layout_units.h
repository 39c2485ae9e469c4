#pragma once

namespace dl {

// Layout units of the stock fixed font: all geometry of the window is counted in them.
inline int CellWidth = 8;   // average character width
inline int CellHeight = 7;  // half the character height
inline int GraphWidth = 512;
inline int WindowWidth = 592;

// Client-area height of the main window.
inline int client_height() { return 16 * CellHeight + 260; }

// Sets CellWidth/CellHeight from the stock fixed font's metrics.
void measure_layout_units();
// WindowWidth from GraphWidth, the cell width and the screen width.
int compute_window_width(int graph_width, int cell_width, int screen_width);

}  // namespace dl
