#pragma once
// The layout units of the stock fixed font: all geometry of the window is counted in them.
// Written by: state (its functions below: the font's cell as it is measured, the graph's size as the
// window or a picture gives it, the window's width, which follows them)
// Read by: every layer above state

namespace dl {

struct LayoutUnitsRecord {
    int CellWidth = 8;   // average character width
    int CellHeight = 7;  // half the character height
    int GraphWidth = 512;
    int GraphHeight = 256;  // rows of the graph; the display levels 0..255 are spread over them
    int WindowWidth = 592;
};
inline LayoutUnitsRecord LayoutUnits;

// The names the program reads the record's fields by; the functions below write them.
inline const auto& CellWidth = LayoutUnits.CellWidth;
inline const auto& CellHeight = LayoutUnits.CellHeight;
inline const auto& GraphWidth = LayoutUnits.GraphWidth;
inline const auto& GraphHeight = LayoutUnits.GraphHeight;
inline const auto& WindowWidth = LayoutUnits.WindowWidth;

// The meter strip under everything else (level_meter 1: two bar rows and the scale; 2: also the
// loudness bar and its figures), in pixels; 0 without it.
int MeterStripHeight();

// Client-area height of the main window: the strip, when there is one, below the rest.
inline int client_height() { return 16 * CellHeight + GraphHeight + 4 + MeterStripHeight(); }
// Where the meter strip begins.
inline int MeterStripTop() { return 16 * CellHeight + GraphHeight + 4; }

// The normal layout's graph, which the window opens with and never goes below.
inline constexpr int kNormalGraphWidth = 512, kNormalGraphHeight = 256;
// The least window width, in cells, of a layout with the side panel at the top right: the panel's
// 15 cells beside the header's 72.
inline constexpr int kWideLayoutCells = 87;
// The normal layout's client size (the client is wider than the window width with a 7-pixel cell).
int normal_client_width(int screen_width);
int normal_client_height();
// The graph a client area of this size holds: the normal graph up to the normal layout's size,
// beyond it all the width and height the window gives, around the same margins.
struct GraphSize {
    int width = kNormalGraphWidth, height = kNormalGraphHeight;
};
GraphSize graph_size_for_client(int client_width, int client_height, int screen_width);

// Sets CellWidth/CellHeight from the stock fixed font's metrics.
void measure_layout_units();
// WindowWidth from GraphWidth, the cell width and the screen width.
int compute_window_width(int graph_width, int cell_width, int screen_width);
// The graph's size (the maximised layout's widens it alone); the window's width then follows the
// graph within the room it has.
void SetGraphSize(int width, int height);
void SetGraphWidth(int width);
void FitWindowWidth(int room);

}  // namespace dl
