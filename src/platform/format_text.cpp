#include "platform/format_text.h"

#include <cstdarg>
#include <cstdio>

namespace dl {

std::string format_text(const char* format, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, format);
    va_list again;
    va_copy(again, ap);
    const int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    std::string out;
    if (n >= 0 && size_t(n) < sizeof buf) {
        out.assign(buf, size_t(n));
    } else if (n >= 0) {
        // Longer than the usual texts (a long path, a huge number written in full): cutting it
        // would change what is written without a word.
        out.resize(size_t(n));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
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
