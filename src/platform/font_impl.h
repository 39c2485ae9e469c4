#pragma once
#include <QFont>

#include "platform/font.h"

namespace dl {

// The proportional font of dialogs, 13 pixels high: DejaVu Sans, or IPA P Gothic for the Japanese
// interface.
QFont dialog_font(bool japanese);

struct Font::Impl {
    QFont font;
    bool japanese = false;
    mutable bool have_metrics = false;
    mutable TextMetrics metrics;
    const TextMetrics& cached_metrics() const;
    // The font at `scale` times its pixel size, for drawing at that device-pixel ratio.
    const QFont& device_font(double scale) const;
    mutable QFont scaled;
    mutable double scaled_for = 0;
};

}  // namespace dl
