#pragma once
// What the language tests read from a menu's or a dialog's text.
#include <algorithm>
#include <cctype>
#include <string>

namespace dl_test {

// The mnemonic of a text: the character after a single '&', upper case; 0 for none ("&&" is an ampersand).
inline char mnemonic_of(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return char(std::toupper(static_cast<unsigned char>(text[i + 1])));
    }
    return 0;
}

// Whether every byte is ASCII (the English texts); a Japanese text has at least one that is not.
inline bool ascii_only(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace dl_test
