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

// The text less the English words a Japanese text may keep (the program's name, units, the names of
// weightings and meter standards, and the few that Japanese interfaces write in Latin letters), its
// key and its mnemonic in the Japanese manner, "(&X)".
inline std::string without_allowed_words(std::string text) {
    // A key that gives the item, after a tab.
    if (const size_t tab = text.find('\t'); tab != std::string::npos) text.erase(tab);
    for (const char* word : {"dewlark", "LUFS", "dBFS", "dBTP", "kHz", "Hz", "dB", "LU", "ms", " s)", "MB", "FFT", "DC",
                             "A4", "OK", "RMS", "PPM", "DIN", "EBU", "VU", "IIb", "ﾀｲﾌﾟI", "タイプI", "A特性", "C特性",
                             "Z特性"}) {
        for (size_t at; (at = text.find(word)) != std::string::npos;) text.erase(at, std::string(word).size());
    }
    for (size_t at; (at = text.find("(&")) != std::string::npos && at + 3 < text.size();) text.erase(at, 4);
    return text;
}

inline bool has_latin_letter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

}  // namespace dl_test
