#include "display/range_band.h"

#include <algorithm>
#include <memory>

#include "display/graph_area.h"
#include "display/overlay.h"
#include "platform/surface.h"
#include "state/layout_units.h"

namespace dl {

namespace {

struct BandRecord {
    bool active = false, shown = false;
    int a = 0, b = 0;  // client columns of the two ends
    int left = 0, top = 0, width = 0, height = 0;
    std::unique_ptr<Surface> under;
};
BandRecord Band;

Rgb BandColour() { return rgb(0xFF8000); }

}  // namespace

void HideRangeBand(Dc& window) { RestoreUnderOverlay(window, Band); }

void ShowRangeBand(Dc& window) {
    BandRecord& r = Band;
    if (!r.active || r.shown) return;
    const int a = std::clamp(std::min(r.a, r.b), GraphLeft(), GraphRight() - 1);
    const int b = std::clamp(std::max(r.a, r.b), GraphLeft(), GraphRight() - 1);
    r.left = a;
    r.top = GraphTop();
    r.width = b - a + 1;
    r.height = GraphHeight;
    SaveUnderOverlay(window, r);
    window.fill_rect(a, r.top, a + 1, r.top + r.height, BandColour());
    window.fill_rect(b, r.top, b + 1, r.top + r.height, BandColour());
    r.shown = true;
}

void SetRangeBand(Dc& window, int x0, int x1) {
    HideRangeBand(window);
    Band.active = true;
    Band.a = x0;
    Band.b = x1;
    ShowRangeBand(window);
}

void ClearRangeBand(Dc& window) {
    HideRangeBand(window);
    Band.active = false;
}

bool RangeBandActive() { return Band.active; }

}  // namespace dl
