
#include <algorithm>

#include "platform/font.h"

#include "analysis/level_meters.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"


namespace dl {

void measure_layout_units() {
    TextMetrics m = Font::stock_fixed().metrics();
    LayoutUnits.CellWidth = m.ave_char_width;
    LayoutUnits.CellHeight = (JapaneseUi ? m.ascent : m.height) / 2;
}

void SetGraphSize(int width, int height) {
    LayoutUnits.GraphWidth = width;
    LayoutUnits.GraphHeight = height;
}

void SetGraphWidth(int width) { LayoutUnits.GraphWidth = width; }

void FitWindowWidth(int room) { LayoutUnits.WindowWidth = compute_window_width(GraphWidth, CellWidth, room); }

int MeterStripHeight() {
    switch (Settings.level_meter) {
        case kMeterStrip: return 8 * CellHeight;
        case kMeterStripLoudness: return 12 * CellHeight;
        default: return 0;
    }
}

int compute_window_width(int graph_width, int cell_width, int screen_width) {
    int w = 9 * cell_width + graph_width;
    if (w > screen_width) w = 2 * cell_width + graph_width;
    if (w < 74 * cell_width) w = 74 * cell_width;
    return w;
}

int normal_client_width(int screen_width) {
    const int w = compute_window_width(kNormalGraphWidth, CellWidth, screen_width);
    return CellWidth == 7 ? w + 8 * CellWidth : w;
}

int normal_client_height() { return 16 * CellHeight + kNormalGraphHeight + 4 + MeterStripHeight(); }

GraphSize graph_size_for_client(int client_width, int client_height, int screen_width) {
    GraphSize g;
    // A wider graph puts the side panel at the top right, which needs room beside the buttons; until
    // there is, the graph stays the normal one. The amplitude scale keeps its column right of it.
    if (client_width > normal_client_width(screen_width) && client_width >= kWideLayoutCells * CellWidth)
        g.width = std::max(kNormalGraphWidth, client_width - 9 * CellWidth);
    if (client_height > normal_client_height()) g.height = client_height - (normal_client_height() - kNormalGraphHeight);
    return g;
}

}  // namespace dl
