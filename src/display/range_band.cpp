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
    bool active = false, shown = false, rows = false;
    int a = 0, b = 0;  // client columns (or rows) of the two ends
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
    if (r.rows) {
        const int bottom = GraphTop() + GraphHeight - 1;
        const int a = std::clamp(std::min(r.a, r.b), GraphTop(), bottom);
        const int b = std::clamp(std::max(r.a, r.b), GraphTop(), bottom);
        r.left = GraphLeft();
        r.top = a;
        r.width = GraphWidth;
        r.height = b - a + 1;
        SaveUnderOverlay(window, r);
        window.fill_rect(r.left, a, r.left + r.width, a + 1, BandColour());
        window.fill_rect(r.left, b, r.left + r.width, b + 1, BandColour());
    } else {
        const int a = std::clamp(std::min(r.a, r.b), GraphLeft(), GraphRight() - 1);
        const int b = std::clamp(std::max(r.a, r.b), GraphLeft(), GraphRight() - 1);
        r.left = a;
        r.top = GraphTop();
        r.width = b - a + 1;
        r.height = GraphHeight;
        SaveUnderOverlay(window, r);
        window.fill_rect(a, r.top, a + 1, r.top + r.height, BandColour());
        window.fill_rect(b, r.top, b + 1, r.top + r.height, BandColour());
    }
    r.shown = true;
}

void SetRangeBand(Dc& window, int a, int b, bool rows) {
    HideRangeBand(window);
    Band.active = true;
    Band.rows = rows;
    Band.a = a;
    Band.b = b;
    ShowRangeBand(window);
}

void ClearRangeBand(Dc& window) {
    HideRangeBand(window);
    Band.active = false;
}

bool RangeBandActive() { return Band.active; }

}  // namespace dl
