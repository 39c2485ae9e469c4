#include "display/spectrogram_scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "display/graph_area.h"
#include "display/spectrogram.h"
#include "display/spectrogram_colours.h"
#include "display/spectrum_graphs.h"
#include "platform/system.h"
#include "state/layout_units.h"
#include "state/view.h"

namespace dl {

int SpectrogramKeyLeft() { return GraphWidth + 6 * CellWidth; }
int SpectrogramKeyWidth() { return 2 * CellWidth; }

void DrawSpectrogramScale(Dc& dc, int khz, int bins) {
    const int X = CellWidth, Y = CellHeight, W = GraphWidth, top = GraphTop();
    const Font* old_font = dc.select_font(nullptr);
    dc.set_text_color(system_colour(SysColour::ButtonText));
    dc.set_bk_color(system_colour(SysColour::ButtonFace));
    dc.set_bk_mode(BkMode::Opaque);
    // Each label centred on its row; one that would overlap the one above it is left out.
    int free_from = 12 * Y;
    for (const LogFrequencyLabel& l : LogFrequencyLabels(khz, bins)) {
        const int y = top + SpectrogramRow(l.bin, bins) - Y;
        if (y < free_from || y > top + GraphHeight - Y) continue;
        dc.text_out(W + 2 * X, y, l.text);
        free_from = y + 2 * Y;
    }

    // The key: row r shows entry 255 - r, spread over a taller graph.
    const int H = GraphHeight;
    std::vector<uint8_t> column(static_cast<size_t>(H));
    for (int r = 0; r < H; ++r) column[size_t(r)] = uint8_t(255 - (r * 256) / H);
    const int left = SpectrogramKeyLeft();
    for (int c = 0; c < SpectrogramKeyWidth(); ++c)
        dc.draw_index_columns(left + c, top, 1, H, column.data(), H, SpectrogramColours().data());

    // Under the column: the units of the labels and of the key.
    const int band = FrequencyAxisTop();
    dc.text_out(W + 2 * X, band, "Hz");
    dc.text_out(left, band, "dB");

    // The time axis: each label centred on its time, kept inside the graph's width. The labels come
    // from "0 s" on, leftwards or rightwards; one that would touch a label already drawn is left out.
    std::vector<std::pair<int, int>> taken;
    for (const SpectrogramTimeLabel& l : SpectrogramTimeLabels(W)) {
        const int len = int(l.text.size()) * X;
        const int x = std::clamp(X + int(std::lround(l.x)) - len / 2, 0, X + W - len);
        const bool touches = std::any_of(taken.begin(), taken.end(),
                                         [&](const auto& t) { return x < t.second + X && x + len + X > t.first; });
        if (touches || l.text.empty()) continue;
        dc.text_out(x, band, l.text);
        taken.push_back({x, x + len});
    }
    dc.select_font(old_font);
}

}  // namespace dl
