#include "app/settings.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "app/shell_state.h"
#include "platform/profile.h"

namespace dl {

const char* const kSettingsKeys[26] = {
    "sex",      "use_onmei", "use_complex", "freqnum", "withlevel", "adjust16", "adjust8",  "graph",   "katamuki",
    "monochrome", "PeakHold", "deltatime", "OnMem",   "MemSize",   "dialog3d", "bits",     "channel", "freq",
    "display",  "chartdot",  "fftparam",    "UseMemDC", "ColorScale", "futosa", "wavmode",  "mado"};

namespace {

const char kSection[] = "dewlark";
constexpr size_t kValueBuffer = 32;  // values are cut to 31 characters

// Decimal reading: leading blanks, one sign, digits up to the first non-digit.
int to_int(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > 1LL + INT_MAX) v = 1LL + INT_MAX;
    }
    v = neg ? -v : v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    return int(v);
}

// Unsigned reading: too large becomes 4294967295; a minus sign negates modulo 2^32.
uint32_t to_uint(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    unsigned long long v = 0;
    bool overflow = false;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        v = v * 10 + unsigned(s[i] - '0');
        if (v > 0xFFFFFFFFull) overflow = true, v = 0xFFFFFFFFull;
    }
    if (overflow) return 0xFFFFFFFFu;
    return neg ? uint32_t(0u - uint32_t(v)) : uint32_t(v);
}

int16_t to_short(const std::string& s) { return int16_t(uint16_t(unsigned(to_int(s)))); }

int in_range_or(int v, int lo, int hi, int fallback) { return v < lo || v > hi ? fallback : v; }

// Values that would index outside a table, divide by zero, shift absurdly or allocate absurdly are
// brought into range; the rest is used as read.
void bring_into_range(SettingsRecord& s) {
    if (s.fftparam < 8) s.fftparam = 8;
    if (s.fftparam > 16) s.fftparam = 16;
    if (s.deltatime < 32) s.deltatime = 32;
    if (s.deltatime > 32768) s.deltatime = 32768;
    s.mado = in_range_or(s.mado, 0, 7, 0);
    s.wavmode = in_range_or(s.wavmode, 0, 7, 0);
    s.use_onmei = in_range_or(s.use_onmei, 0, 2, 0);
    s.PeakHold = in_range_or(s.PeakHold, 0, 2, 1);
    if (s.graph != 116 && s.graph != 117) s.graph = 117;
    if (s.futosa != 1 && s.futosa != 2) s.futosa = 1;
    if (s.freqnum < 0) s.freqnum = 0;
    if (s.freqnum > 999) s.freqnum = 999;
    if (s.bits != 8 && s.bits != 16) s.bits = 16;
    if (s.channel != 1 && s.channel != 2) s.channel = 2;
    if (s.freq == 0) s.freq = 11025;
    if (s.freq > 384000) s.freq = 384000;
}

void clamp_display(SettingsRecord& s) {
    if (s.display < 109) s.display = 109;
    if (s.display > 111) s.display = 111;
}

std::string read_key(const std::string& path, const char* key, const std::string& fallback) {
    return get_profile_string(kSection, key, fallback, kValueBuffer, path);
}

struct IntKey {
    const char* name;
    int SettingsRecord::*field;
};

const IntKey kIntKeys[] = {
    {"sex", &SettingsRecord::sex},           {"use_onmei", &SettingsRecord::use_onmei},
    {"use_complex", &SettingsRecord::use_complex}, {"freqnum", &SettingsRecord::freqnum},
    {"withlevel", &SettingsRecord::withlevel}, {"adjust16", &SettingsRecord::adjust16},
    {"adjust8", &SettingsRecord::adjust8},   {"graph", &SettingsRecord::graph},
    {"katamuki", &SettingsRecord::katamuki}, {"monochrome", &SettingsRecord::monochrome},
    {"PeakHold", &SettingsRecord::PeakHold}, {"OnMem", &SettingsRecord::OnMem},
    {"MemSize", &SettingsRecord::MemSize},   {"dialog3d", &SettingsRecord::dialog3d},
    {"display", &SettingsRecord::display},   {"chartdot", &SettingsRecord::chartdot},
    {"fftparam", &SettingsRecord::fftparam}, {"UseMemDC", &SettingsRecord::UseMemDC},
    {"ColorScale", &SettingsRecord::ColorScale}, {"futosa", &SettingsRecord::futosa},
    {"wavmode", &SettingsRecord::wavmode},   {"mado", &SettingsRecord::mado},
};

// Sets one stored key from its text; false for an unknown key.
bool assign(SettingsRecord& s, const std::string& key, const std::string& v) {
    for (const IntKey& k : kIntKeys)
        if (key == k.name) {
            s.*k.field = to_int(v);
            return true;
        }
    if (key == "deltatime") s.deltatime = to_uint(v);
    else if (key == "freq") s.freq = to_uint(v);
    else if (key == "bits") s.bits = to_short(v);
    else if (key == "channel") s.channel = to_short(v);
    else return false;
    return true;
}

// A key's value as it is written: "%d", "%u" for deltatime, "%hd" for bits and channel, "%lu" for freq.
std::string value_text(const SettingsRecord& s, const std::string& key) {
    char buf[32] = "";
    if (key == "deltatime") std::snprintf(buf, sizeof buf, "%u", s.deltatime);
    else if (key == "freq") std::snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(s.freq));
    else if (key == "bits") std::snprintf(buf, sizeof buf, "%hd", s.bits);
    else if (key == "channel") std::snprintf(buf, sizeof buf, "%hd", s.channel);
    else
        for (const IntKey& k : kIntKeys)
            if (key == k.name) std::snprintf(buf, sizeof buf, "%d", s.*k.field);
    return buf;
}

std::string defaults_text(const char* key) { return value_text(SettingsRecord{}, key); }

}  // namespace

std::string settings_path() {
    // Built by appending: GCC 12 warns falsely about `string + literal` here at -O3.
    std::string path;
    const char* profile = std::getenv("USERPROFILE");
    if (profile && *profile) return path.append(profile).append("/dewlark.INI");
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) path.append(xdg);
    else if (const char* home = std::getenv("HOME"); home && *home) path.append(home).append("/.config");
    else path.append(".");
    return path.append("/dewlark/dewlark.INI");
}

void clamp_memory_size() {
    if (Settings.MemSize < 2) Settings.MemSize = 2;
    if (Settings.MemSize > 255) Settings.MemSize = 255;
    if (PlatformVersion <= 779 && Settings.MemSize > 15) Settings.MemSize = 15;
}

void load_settings() {
    const std::string path = settings_path();
    SettingsRecord s = Settings;
    static const char* const kFirst[] = {"sex",       "use_complex", "use_onmei", "freqnum", "withlevel",
                                         "adjust16",  "adjust8",     "graph",     "katamuki", "monochrome",
                                         "PeakHold",  "deltatime",   "OnMem",     "MemSize"};
    for (const char* key : kFirst) assign(s, key, read_key(path, key, defaults_text(key)));
    Settings = s;
    clamp_memory_size();
    s = Settings;
    if (PlatformVersion >= 863) assign(s, "dialog3d", read_key(path, "dialog3d", defaults_text("dialog3d")));
    static const char* const kRest[] = {"bits",     "channel",  "freq",       "display", "chartdot", "fftparam",
                                        "UseMemDC", "ColorScale", "futosa", "wavmode", "mado"};
    for (const char* key : kRest) {
        assign(s, key, read_key(path, key, defaults_text(key)));
        if (std::string(key) == "display") clamp_display(s);
    }
    bring_into_range(s);
    Settings = s;
}

void save_settings() {
    const std::string path = settings_path();
    if (!std::getenv("USERPROFILE") || !*std::getenv("USERPROFILE")) {
        std::string dir = path.substr(0, path.rfind('/'));
        ::mkdir(dir.substr(0, dir.rfind('/')).c_str(), 0755);
        ::mkdir(dir.c_str(), 0700);
    }
    std::vector<std::pair<std::string, std::string>> values;
    for (const char* key : kSettingsKeys) {
        if (std::string(key) == "dialog3d" && PlatformVersion < 863) continue;
        values.emplace_back(key, value_text(Settings, key));
    }
    // Failures of the profile service are ignored; the old file stays whole.
    write_profile_strings(kSection, values, path);
}

bool set_setting_from_text(const std::string& key, const std::string& value) {
    if (key == "Decibel") return Settings.Decibel = to_int(value) != 0, true;
    if (key == "Expand") return Settings.Expand = to_int(value) != 0, true;
    SettingsRecord s = Settings;
    if (!assign(s, key, value.substr(0, kValueBuffer - 1))) return false;
    if (key == "display") clamp_display(s);
    bring_into_range(s);
    Settings = s;
    if (key == "MemSize") clamp_memory_size();
    return true;
}

}  // namespace dl
