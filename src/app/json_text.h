#pragma once
// Text for JSON lines: strings that are always valid UTF-8 JSON, whatever bytes they came from.
#include <string>

namespace dl {

// `text` as a JSON string: quoted, escaped, each byte that is not part of valid UTF-8 replaced by
// U+FFFD.
std::string JsonString(const std::string& text);
// Whether `text` is valid UTF-8 throughout (no overlong forms, no surrogates, nothing past U+10FFFF).
bool ValidUtf8(const std::string& text);
// The bytes in base64 (RFC 4648, with padding): a lossless form of a name that is not UTF-8.
std::string Base64(const std::string& bytes);

}  // namespace dl
