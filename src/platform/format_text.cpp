#include "platform/format_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace dl {

std::string format_text(const char* format, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n < 0) return {};
    return std::string(buf, std::min<size_t>(size_t(n), sizeof buf - 1));
}

}  // namespace dl
