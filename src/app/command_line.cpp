#include "app/command_line.h"

#include "state/settings.h"





#include <cctype>

namespace dl {

namespace {

bool is_letter_switch(const std::string& t) {
    if (t.size() != 2 || t[0] != '/') return false;
    char c = char(std::toupper(static_cast<unsigned char>(t[1])));
    return c == 'P' || c == 'S' || c == 'M' || c == 'H' || c == 'O' || c == 'L';
}

bool is_number_switch(const std::string& t) {
    if (t.size() < 2 || t[0] != '/') return false;
    for (size_t i = 1; i < t.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
    return true;
}

// Unsigned decimal from the character after the slash; too large becomes 4294967295.
uint32_t number_after_slash(const std::string& t) {
    unsigned long long v = 0;
    for (size_t i = 1; i < t.size(); ++i) {
        v = v * 10 + unsigned(t[i] - '0');
        if (v > 0xFFFFFFFFull) return 0xFFFFFFFFu;
    }
    return uint32_t(v);
}

void apply_rate_switch(const std::string& t) {
    uint32_t n = number_after_slash(t);
    if (n > 999) {
        // A rate no device could open is brought into range like a stored one.
        Settings.freq = n > 384000 ? 384000 : n;
        return;
    }
    const char third = t.size() > 2 ? t[2] : '\0';
    switch (t[1]) {
        case '9': Settings.freq = third == '6' ? 96000 : 88200; break;
        case '6': Settings.freq = 64000; break;
        case '5': Settings.freq = 48000; break;
        case '4': Settings.freq = 44100; break;
        case '3': Settings.freq = 32000; break;
        case '2': Settings.freq = third == '4' ? 24000 : 22050; break;
        case '1': Settings.freq = third == '6' ? 16000 : third == '2' ? 12000 : 11025; break;
        case '8': Settings.freq = 8000; break;
        default: break;  // /0 and /7 have no effect
    }
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& tokens) {
    CommandLine cl;
    const size_t count = tokens.size() < 15 ? tokens.size() : 15;
    for (size_t i = 0; i < count; ++i) {
        const std::string& t = tokens[i];
        if (is_letter_switch(t)) {
            switch (std::toupper(static_cast<unsigned char>(t[1]))) {
                case 'P': cl.auto_start = true; break;
                case 'S': Settings.channel = 2; break;
                case 'M': Settings.channel = 1; break;
                case 'H': Settings.bits = 16; break;
                case 'O': Settings.bits = 8; break;
                case 'L': cl.large_layout = true; break;
            }
        } else if (is_number_switch(t)) {
            apply_rate_switch(t);
        } else {
            cl.file_name = t;
        }
    }
    return cl;
}

}  // namespace dl
