#pragma once
#include <QImage>

#include "platform/surface.h"

namespace dl {

struct Surface::Impl {
    QImage image;  // Format_RGB32, device pixels
    int scale = 1;
    std::function<void()> listener;
    bool notified = false;
};

}  // namespace dl
