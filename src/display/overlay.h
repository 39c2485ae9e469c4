#pragma once
#include <algorithm>
#include <memory>

#include "platform/dc.h"
#include "platform/surface.h"

namespace dl {

// A read-out drawn over the graph keeps the window's pixels it covers (the record's left, top,
// width and height) in its `under` surface and puts them back when it goes.
template <class Record>
void SaveUnderOverlay(Dc& window, Record& r, int least_width = 0) {
    const double scale = window.surface().scale();
    if (!r.under || r.under->scale() != scale || r.under->width() < r.width || r.under->height() < r.height)
        r.under = std::make_unique<Surface>(std::max(r.width, least_width), r.height, scale);
    Dc saved(*r.under);
    saved.bit_blt(0, 0, r.width, r.height, window, r.left, r.top);
}

// Puts back what the read-out covers, if it is shown.
template <class Record>
void RestoreUnderOverlay(Dc& window, Record& r) {
    if (!r.shown) return;
    r.shown = false;
    if (r.under && r.under->scale() == window.surface().scale()) {
        Dc saved(*r.under);
        window.bit_blt(r.left, r.top, r.width, r.height, saved, 0, 0);
    }
}

}  // namespace dl
