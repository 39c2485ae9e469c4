#pragma once
#include <QFont>

#include "platform/font.h"

namespace dl {

struct Font::Impl {
    QFont font;
    bool japanese = false;
    mutable bool have_metrics = false;
    mutable TextMetrics metrics;
    const TextMetrics& cached_metrics() const;
};

}  // namespace dl
