#pragma once
#include <QFont>

#include "platform/font.h"

namespace dl {

struct Font::Impl {
    QFont font;
    bool japanese = false;
};

}  // namespace dl
