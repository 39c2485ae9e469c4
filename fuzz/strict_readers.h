// Readers of what the program writes, kept strict and written apart from the program's own code, so
// that a target can check that what is written parses back: RFC 4180 records, one JSON object of
// strings, numbers and nulls, well-formed UTF-8 and base64.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace strict {

// The length of the well-formed UTF-8 sequence at s[i] (the Unicode standard's table 3-7), 0 when
// there is none.
inline size_t utf8_sequence(const std::string& s, size_t i) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    auto in = [](unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; };
    const unsigned char c = at(i);
    const size_t left = s.size() - i;
    if (c <= 0x7F) return 1;
    if (in(c, 0xC2, 0xDF)) return left >= 2 && in(at(i + 1), 0x80, 0xBF) ? 2 : 0;
    if (left < 3) return 0;
    const unsigned char d = at(i + 1);
    const bool tail2 = in(at(i + 2), 0x80, 0xBF);
    if (c == 0xE0) return in(d, 0xA0, 0xBF) && tail2 ? 3 : 0;
    if (in(c, 0xE1, 0xEC) || in(c, 0xEE, 0xEF)) return in(d, 0x80, 0xBF) && tail2 ? 3 : 0;
    if (c == 0xED) return in(d, 0x80, 0x9F) && tail2 ? 3 : 0;
    if (left < 4 || !tail2 || !in(at(i + 3), 0x80, 0xBF)) return 0;
    if (c == 0xF0) return in(d, 0x90, 0xBF) ? 4 : 0;
    if (in(c, 0xF1, 0xF3)) return in(d, 0x80, 0xBF) ? 4 : 0;
    if (c == 0xF4) return in(d, 0x80, 0x8F) ? 4 : 0;
    return 0;
}

inline bool valid_utf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const size_t n = utf8_sequence(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// `s` with each byte that belongs to no well-formed sequence replaced by U+FFFD.
inline std::string replace_ill_formed(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const size_t n = utf8_sequence(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return out;
}

// RFC 4648 base64 with padding, nothing else allowed; nullopt when `text` is not that.
inline std::optional<std::string> base64_decode(const std::string& text) {
    auto digit = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t pad = last ? (text[i + 3] == '=' ? (text[i + 2] == '=' ? 2 : 1) : 0) : 0;
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int d = k < 4 - pad ? digit(text[i + k]) : 0;
            if (d < 0) return std::nullopt;
            v = v << 6 | uint32_t(d);
        }
        out += char(v >> 16);
        if (pad < 2) out += char(v >> 8 & 0xFF);
        if (pad < 1) out += char(v & 0xFF);
        // Bits the padding leaves over are zero in the canonical form.
        if ((pad == 1 && (v & 0xFF) != 0) || (pad == 2 && (v & 0xFFFF) != 0)) return std::nullopt;
    }
    return out;
}

// One record of RFC 4180 at `at` (fields separated by commas; a field in quotes may hold commas,
// line ends and doubled quotes; one outside quotes holds none of them), ended by "\n" (or "\r\n").
// `at` moves past it; nullopt when the text there is not such a record.
inline std::optional<std::vector<std::string>> csv_record(const std::string& text, size_t& at) {
    std::vector<std::string> fields(1);
    size_t i = at;
    for (;;) {
        if (i < text.size() && text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) return std::nullopt;
                if (text[i] != '"') {
                    fields.back() += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '"') {
                    fields.back() += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            for (; i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r'; ++i) {
                if (text[i] == '"') return std::nullopt;
                fields.back() += text[i];
            }
        }
        if (i >= text.size()) return std::nullopt;  // every record here ends with its line
        if (text[i] == ',') {
            fields.emplace_back();
            ++i;
            continue;
        }
        if (text[i] == '\r') ++i;
        if (i >= text.size() || text[i] != '\n') return std::nullopt;
        at = i + 1;
        return fields;
    }
}

// A JSON value as the rows hold them: a string (decoded), a number (its text) or null.
struct JsonValue {
    enum Kind { String, Number, Null } kind = Null;
    std::string text;
};
using JsonObject = std::vector<std::pair<std::string, JsonValue>>;

namespace detail {

inline void put_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

inline bool hex4(const std::string& s, size_t i, uint32_t& v) {
    if (i + 4 > s.size()) return false;
    v = 0;
    for (size_t k = i; k < i + 4; ++k) {
        const char c = s[k];
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        v = v << 4 | uint32_t(d);
    }
    return true;
}

inline bool string_at(const std::string& s, size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"') return false;
    for (++i; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"') return ++i, true;
        if (c < 0x20) return false;  // control characters are escaped in JSON
        if (c != '\\') {
            out += char(c);
            ++i;
            continue;
        }
        if (++i >= s.size()) return false;
        const char e = s[i++];
        switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t cp = 0;
                if (!hex4(s, i, cp)) return false;
                i += 4;
                if (cp >= 0xDC00 && cp <= 0xDFFF) return false;
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    uint32_t low = 0;
                    if (i + 2 > s.size() || s[i] != '\\' || s[i + 1] != 'u' || !hex4(s, i + 2, low) || low < 0xDC00 ||
                        low > 0xDFFF)
                        return false;
                    i += 6;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                put_utf8(out, cp);
                break;
            }
            default: return false;
        }
    }
    return false;
}

inline bool digits_at(const std::string& s, size_t& i) {
    const size_t from = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i > from;
}

// RFC 8259's number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
inline bool number_at(const std::string& s, size_t& i) {
    if (i < s.size() && s[i] == '-') ++i;
    if (i >= s.size()) return false;
    if (s[i] == '0') ++i;
    else if (s[i] < '1' || s[i] > '9' || !digits_at(s, i)) return false;
    if (i < s.size() && s[i] == '.' && !digits_at(s, ++i)) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (!digits_at(s, i)) return false;
    }
    return true;
}

}  // namespace detail

// Whether all of `text` is one JSON number.
inline bool json_number(const std::string& text) {
    size_t i = 0;
    return detail::number_at(text, i) && i == text.size();
}

// `line` as one JSON object with no blanks, its members in order; nullopt when it is anything else.
inline std::optional<JsonObject> json_object(const std::string& line) {
    JsonObject members;
    size_t i = 0;
    if (line.empty() || line[i++] != '{') return std::nullopt;
    if (i < line.size() && line[i] == '}') return ++i == line.size() ? std::optional(members) : std::nullopt;
    for (;;) {
        std::string name;
        if (!detail::string_at(line, i, name) || i >= line.size() || line[i++] != ':') return std::nullopt;
        JsonValue v;
        if (i < line.size() && line[i] == '"') {
            v.kind = JsonValue::String;
            if (!detail::string_at(line, i, v.text)) return std::nullopt;
        } else if (line.compare(i, 4, "null") == 0) {
            i += 4;
        } else {
            const size_t from = i;
            if (!detail::number_at(line, i)) return std::nullopt;
            v.kind = JsonValue::Number;
            v.text = line.substr(from, i - from);
        }
        members.emplace_back(std::move(name), std::move(v));
        if (i >= line.size()) return std::nullopt;
        const char c = line[i++];
        if (c == '}') return i == line.size() ? std::optional(members) : std::nullopt;
        if (c != ',') return std::nullopt;
    }
}

}  // namespace strict
