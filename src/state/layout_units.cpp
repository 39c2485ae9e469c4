
#include "platform/font.h"

#include "state/layout_units.h"
#include "state/meters.h"
#include "state/settings.h"
#include "state/shell.h"


namespace dl {

void measure_layout_units() {
    TextMetrics m = Font::stock_fixed().metrics();
    CellWidth = m.ave_char_width;
    CellHeight = (JapaneseUi ? m.ascent : m.height) / 2;
}

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

}  // namespace dl
