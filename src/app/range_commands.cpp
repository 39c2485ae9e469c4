#include "app/range_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/settings_changed.h"
#include "dialogs/range_dialog.h"
#include "display/frame.h"
#include "display/graph_area.h"
#include "display/hover_readout.h"
#include "display/range_band.h"
#include "display/spectrogram.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/window_dc.h"

namespace dl {

namespace {

// Travel below this many pixels is a click, not a band.
constexpr int kDragPixels = 4;

struct DragRecord {
    bool pressed = false, dragging = false;
    int at0 = 0;  // where the press was along the frequency axis
};
DragRecord Drag;

bool ViewHasFrequencyAxis() {
    return Settings.display == kViewLinear || Settings.display == kViewLog || Settings.display == kViewSpectrogram;
}

// The spectrogram's frequencies run up the graph, the spectrum views' across it.
bool AxisRunsUp() { return Settings.display == kViewSpectrogram; }
int AlongAxis(int x, int y) { return AxisRunsUp() ? y : x; }

// The spectrogram's history and every scale were drawn for the old range; the held and averaged
// levels were mapped on the old level range.
void ApplyRange(bool levels_changed = false) {
    SettingsChanged(levels_changed ? kSettingsMeasurement : kSettingsAnalysis);
    ResetSpectrogram();
    WindowDc dc;
    DrawFrame(dc);
}

// The frequency at a column, or at a row of the spectrogram.
double FrequencyAlongAxis(int at) {
    if (AxisRunsUp()) return HoverFrequency(GraphLeft(), std::clamp(at, GraphTop(), GraphTop() + GraphHeight - 1));
    return HoverFrequency(std::clamp(at, GraphLeft(), GraphRight() - 1), GraphTop());
}

}  // namespace

void RangeCommand() {
    const int top = Settings.db_top, span = Settings.db_span;
    if (EditSettingsInDialog(RunRangeDialog) == 1) ApplyRange(top != Settings.db_top || span != Settings.db_span);
}

void WholeRangeCommand() {
    Settings.freq_low = Settings.freq_high = 0;
    ApplyRange();
}

void RangePress(int x, int y) {
    Drag = {};
    if (!ViewHasFrequencyAxis() || !InGraph(x, y)) return;
    Drag.pressed = true;
    Drag.at0 = AlongAxis(x, y);
}

void RangeMove(int x, int y) {
    if (!Drag.pressed) return;
    const int at = AlongAxis(x, y);
    if (!Drag.dragging && std::abs(at - Drag.at0) < kDragPixels) return;
    Drag.dragging = true;
    WindowDc dc;
    SetRangeBand(dc.dc(), Drag.at0, at, AxisRunsUp());
}

bool RangeRelease(int x, int y) {
    const DragRecord d = Drag;
    Drag = {};
    if (!d.pressed) return false;
    {
        WindowDc dc;
        ClearRangeBand(dc.dc());
    }
    const int at = AlongAxis(x, y);
    if (!d.dragging && std::abs(at - d.at0) < kDragPixels) return false;
    const double fa = FrequencyAlongAxis(at), fb = FrequencyAlongAxis(d.at0);
    const double a = std::min(fa, fb), b = std::max(fa, fb);
    const int low = int(std::floor(a)), high = int(std::ceil(b));
    if (!(b > 0) || high <= low || high > kMaxRangeHz) return false;
    Settings.freq_low = std::max(low, 0);
    Settings.freq_high = high;
    ApplyRange();
    return true;
}

bool RangeDoubleClick(int x, int y) {
    Drag = {};
    if (!ViewHasFrequencyAxis() || !InGraph(x, y)) return false;
    WholeRangeCommand();
    return true;
}

}  // namespace dl
