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

namespace dl {

std::string shown_name(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (const char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c == 0x7F) out += format_text("\\x%02x", unsigned(c));
        else out += ch;
    }
    return out;
}

}  // namespace dl
