#pragma once
#include <QImage>
#include <cmath>
#include <utility>

#include "platform/surface.h"

namespace dl {

struct Surface::Impl {
    QImage image;  // Format_RGB32, device pixels
    double scale = 1;
    int width = 1, height = 1;  // logical pixels
    int whole = 1;              // the scale when it is a whole number, else 0
    int stroke = 1;             // device pixels of a one-pixel line: the same everywhere, so lines look even
    std::function<void()> listener;
    bool notified = false;

    // The device coordinate where logical coordinate v begins.
    int device(int v) const { return whole ? v * whole : int(std::floor(v * scale + 0.5)); }
    // Device pixels [first, second) of the logical run [from, to): a run one pixel long is a line, `stroke`
    // wide; longer runs tile, so neighbouring fills neither overlap nor leave gaps.
    std::pair<int, int> span(int from, int to) const {
        return {device(from), to - from == 1 ? device(from) + stroke : device(to)};
    }
};

}  // namespace dl
