#include "app/json_text.h"

#include "platform/format_text.h"

namespace dl {

namespace {

// The length of the UTF-8 sequence starting at s[i], or 0 when it is not a valid one.
size_t utf8_length(const std::string& s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    const unsigned char d = static_cast<unsigned char>(n > 1 ? s[i + 1] : 0);
    if (n == 2 && c < 0xC2) return 0;                          // overlong
    if (n == 3 && c == 0xE0 && d < 0xA0) return 0;             // overlong
    if (n == 3 && c == 0xED && d >= 0xA0) return 0;            // a surrogate
    if (n == 4 && c == 0xF0 && d < 0x90) return 0;             // overlong
    if (n == 4 && (c > 0xF4 || (c == 0xF4 && d >= 0x90))) return 0;  // past U+10FFFF
    return n;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            switch (c) {
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                case '\t': out += "\\t"; break;
                default: out += format_text("\\u%04x", unsigned(c)); break;
            }
            ++i;
        } else if (const size_t n = utf8_length(text, i); n > 0) {
            out.append(text, i, n);
            i += n;
        } else {
            out += "\xEF\xBF\xBD";  // a byte that is no character: the replacement character
            ++i;
        }
    }
    return out + "\"";
}

bool ValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const size_t n = utf8_length(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string Base64(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t v = uint32_t(static_cast<unsigned char>(bytes[i])) << 16;
        if (n > 1) v |= uint32_t(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (n > 2) v |= uint32_t(static_cast<unsigned char>(bytes[i + 2]));
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += n > 1 ? kDigits[(v >> 6) & 63] : '=';
        out += n > 2 ? kDigits[v & 63] : '=';
    }
    return out;
}

}  // namespace dl
