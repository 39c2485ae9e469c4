
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "analysis/partial_reading.h"
#include "platform/profile.h"

#include "resources/command_ids.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

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

// What a stored value may be. Values that would index outside a table, divide by zero, shift
// absurdly or allocate absurdly are brought into range; the rest is used as read. Below `lo` a
// value becomes `below`, above `hi` it becomes `above`; with `ends_only` only lo and hi
// themselves are kept and what lies between becomes `above`.
struct Range {
    bool checked = false;
    int64_t lo = 0, hi = 0, below = 0, above = 0;
    bool ends_only = false;
};
constexpr Range kAnything{};
constexpr Range clamp(int64_t lo, int64_t hi) { return {true, lo, hi, lo, hi, false}; }
constexpr Range or_else(int64_t lo, int64_t hi, int64_t fallback) { return {true, lo, hi, fallback, fallback, false}; }
constexpr Range one_of(int64_t a, int64_t b, int64_t fallback) { return {true, a, b, fallback, fallback, true}; }

using Field = std::variant<int SettingsRecord::*, uint32_t SettingsRecord::*, int16_t SettingsRecord::*,
                           std::string SettingsRecord::*>;
// Device names, files and folders are longer than numbers.
constexpr size_t kNameBuffer = 256;

// One key of the file: its name, the field it fills (whose type says how it is read and
// written: "%d", "%u", "%hd", or a name as it stands), and its range. The order is the order of the
// file; keys added later come last, so a file from before them loads as it did.
struct Key {
    const char* name;
    Field field;
    Range range;
    // The value a start without a settings file takes, where it differs from the one a file without
    // the key gives (which keeps what the program did before the key).
    const char* fresh = nullptr;
};

const Key kKeys[] = {
    {"sex", &SettingsRecord::sex, kAnything},
    {"use_onmei", &SettingsRecord::use_onmei, or_else(0, 2, 0)},
    {"use_complex", &SettingsRecord::use_complex, kAnything},
    {"freqnum", &SettingsRecord::freqnum, clamp(0, 999)},
    {"withlevel", &SettingsRecord::withlevel, kAnything},
    {"adjust16", &SettingsRecord::adjust16, kAnything},
    {"adjust8", &SettingsRecord::adjust8, kAnything},
    {"graph", &SettingsRecord::graph, one_of(kGraphLine, kGraphBar, kGraphBar)},
    {"katamuki", &SettingsRecord::katamuki, kAnything},
    {"monochrome", &SettingsRecord::monochrome, kAnything},
    {"PeakHold", &SettingsRecord::PeakHold, or_else(0, 2, 1)},
    {"deltatime", &SettingsRecord::deltatime, clamp(32, 32768)},
    {"OnMem", &SettingsRecord::OnMem, kAnything},
    {"MemSize", &SettingsRecord::MemSize, clamp(2, 255)},  // and clamp_memory_size's platform rule
    {"dialog3d", &SettingsRecord::dialog3d, kAnything},
    {"bits", &SettingsRecord::bits, one_of(8, 16, 16)},
    {"channel", &SettingsRecord::channel, one_of(1, 2, 2)},
    {"freq", &SettingsRecord::freq, {true, 1, 384000, 11025, 384000, false}},
    // The spectrogram came after the first three views: a value above it still falls back to the
    // tuning meter, as it always did.
    {"display", &SettingsRecord::display, {true, kViewLinear, kViewSpectrogram, kViewLinear, kViewTuning, false}},
    {"chartdot", &SettingsRecord::chartdot, kAnything},
    {"fftparam", &SettingsRecord::fftparam, clamp(8, 16)},
    {"UseMemDC", &SettingsRecord::UseMemDC, kAnything},
    {"ColorScale", &SettingsRecord::ColorScale, kAnything},
    {"futosa", &SettingsRecord::futosa, one_of(1, 2, 1)},
    {"wavmode", &SettingsRecord::wavmode, or_else(0, 7, 0)},
    {"mado", &SettingsRecord::mado, or_else(0, 7, 0)},
    {"InputDevice", &SettingsRecord::InputDevice, kAnything},
    {"OutputDevice", &SettingsRecord::OutputDevice, kAnything},
    {"Recent1", &SettingsRecord::Recent1, kAnything},
    {"Recent2", &SettingsRecord::Recent2, kAnything},
    {"Recent3", &SettingsRecord::Recent3, kAnything},
    {"Recent4", &SettingsRecord::Recent4, kAnything},
    {"Recent5", &SettingsRecord::Recent5, kAnything},
    {"OpenFolder", &SettingsRecord::OpenFolder, kAnything},
    {"VoicePointer", &SettingsRecord::VoicePointer, or_else(0, 1, 0)},
    {"precise_peaks", &SettingsRecord::precise_peaks, or_else(0, 1, 0), "1"},
    {"reference_a4", &SettingsRecord::reference_a4, or_else(4000, 4800, 4400)},
    {"tuner", &SettingsRecord::tuner, or_else(0, 1, 0), "1"},
    {"level_meter", &SettingsRecord::level_meter, or_else(0, 2, 0)},
    {"meter_ballistics", &SettingsRecord::meter_ballistics, or_else(0, 4, 0)},
    {"loudness_target", &SettingsRecord::loudness_target, or_else(-600, -50, -230)},
    {"spectrogram_span", &SettingsRecord::spectrogram_span, or_else(1, 3600, 10)},
    {"LatencyOffset", &SettingsRecord::LatencyOffset, clamp(0, 1000)},
    {"update_rate", &SettingsRecord::update_rate, clamp(0, 120), "30"},
    {"averaging", &SettingsRecord::averaging, or_else(0, 3, 0)},
    {"average_ms", &SettingsRecord::average_ms, clamp(25, 10000)},
    {"average_blocks", &SettingsRecord::average_blocks, clamp(2, 256)},
    {"max_hold", &SettingsRecord::max_hold, or_else(0, 1, 0)},
    {"min_hold", &SettingsRecord::min_hold, or_else(0, 1, 0)},
    // 0 holds until reset; a time is at least half a second.
    {"hold_ms", &SettingsRecord::hold_ms, clamp(0, 10000)},
    {"weighting", &SettingsRecord::weighting, or_else(0, 2, 0)},
    {"meter_weighting", &SettingsRecord::meter_weighting, or_else(0, 1, 0)},
    {"traces", &SettingsRecord::traces, or_else(0, 3, 0)},
    {"peak_trace", &SettingsRecord::peak_trace, or_else(0, 1, 0)},
    {"window_width", &SettingsRecord::window_width, or_else(0, 8192, 0)},
    {"window_height", &SettingsRecord::window_height, or_else(0, 8192, 0)},
    // Hz; both 0 show the whole range.
    {"freq_low", &SettingsRecord::freq_low, clamp(0, kMaxRangeHz)},
    {"freq_high", &SettingsRecord::freq_high, clamp(0, kMaxRangeHz)},
    {"db_top", &SettingsRecord::db_top, clamp(kMinDbTop, kMaxDbTop)},
    // 0 keeps the scale's own range; a span is at least kMinDbSpan.
    {"db_span", &SettingsRecord::db_span, Range{true, kMinDbSpan, kMaxDbSpan, 0, kMaxDbSpan, false}},
    {"tuner_partial", &SettingsRecord::tuner_partial, or_else(kFirstPartial, kLastPartial, kFirstPartial)},
};

// dialog3d exists only where dialogs can be three-dimensional.
bool stored(const Key& k) { return std::string_view(k.name) != "dialog3d" || PlatformVersion >= 863; }

const Key* find_key(const std::string& name) {
    for (const Key& k : kKeys)
        if (name == k.name) return &k;
    return nullptr;
}

bool is_name(const Key& k) { return std::holds_alternative<std::string SettingsRecord::*>(k.field); }

int64_t get(const SettingsRecord& s, const Key& k) {
    return std::visit([&](auto field) -> int64_t {
        using T = std::remove_cvref_t<decltype(s.*field)>;
        if constexpr (std::is_same_v<T, std::string>) return 0;
        else return int64_t(s.*field);
    }, k.field);
}

void set_from_text(SettingsRecord& s, const Key& k, const std::string& v) {
    std::visit([&](auto field) {
        using T = std::remove_cvref_t<decltype(s.*field)>;
        if constexpr (std::is_same_v<T, uint32_t>) s.*field = to_uint(v);
        else if constexpr (std::is_same_v<T, int16_t>) s.*field = to_short(v);
        else if constexpr (std::is_same_v<T, std::string>) s.*field = v;
        else s.*field = to_int(v);
    }, k.field);
}

std::string text_of(const SettingsRecord& s, const Key& k) {
    if (is_name(k)) return s.*std::get<std::string SettingsRecord::*>(k.field);
    char buf[32] = "";
    std::visit([&](auto field) {
        using T = std::remove_cvref_t<decltype(s.*field)>;
        if constexpr (std::is_same_v<T, std::string>) return;
        else if constexpr (std::is_same_v<T, uint32_t>) std::snprintf(buf, sizeof buf, "%u", unsigned(s.*field));
        else if constexpr (std::is_same_v<T, int16_t>) std::snprintf(buf, sizeof buf, "%hd", s.*field);
        else std::snprintf(buf, sizeof buf, "%d", s.*field);
    }, k.field);
    return buf;
}

// The text a key is written as. A name that the reader would change (surrounding blanks, which it
// trims, or a pair of quotes around it, which it takes off) goes between quotes, so that what was
// read is what is read back.
std::string stored_text(const SettingsRecord& s, const Key& k) {
    std::string text = text_of(s, k);
    if (!is_name(k) || text.empty()) return text;
    const bool blanks = std::isspace(static_cast<unsigned char>(text.front())) ||
                        std::isspace(static_cast<unsigned char>(text.back()));
    const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front();
    return blanks || quoted ? "\"" + text + "\"" : text;
}

// Brings the key's value into range; when it had to, what was read and what is used instead go
// into `notes` ("fftparam=40 is out of range, using 16").
void correct(SettingsRecord& s, const Key& k, std::vector<std::string>* notes = nullptr) {
    const Range& r = k.range;
    if (!r.checked) return;
    const int64_t v = get(s, k);
    int64_t fixed = v;
    if (v < r.lo) fixed = r.below;
    else if (v > r.hi) fixed = r.above;
    else if (r.ends_only && v != r.lo && v != r.hi) fixed = r.above;
    if (fixed == v) return;
    const std::string was = text_of(s, k);
    std::visit([&](auto field) {
        using T = std::remove_cvref_t<decltype(s.*field)>;
        if constexpr (!std::is_same_v<T, std::string>) s.*field = T(fixed);
    }, k.field);
    if (notes) notes->push_back(std::string(k.name) + "=" + was + " is out of range, using " + text_of(s, k));
}

// Why the file of the last load was not read ("" when it was, or was missing), and its path: a file
// that was not read is not written over at exit either.
std::string g_refused_path, g_refused_why;

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

void clamp_memory_size(SettingsRecord& s) {
    if (s.MemSize < 2) s.MemSize = 2;
    if (s.MemSize > 255) s.MemSize = 255;
    if (PlatformVersion <= 779 && s.MemSize > 15) s.MemSize = 15;
}

void clamp_memory_size() { clamp_memory_size(Settings); }

void load_settings(std::vector<std::string>* corrections) {
    NoteSettingsChanged();
    const std::string path = settings_path();
    const SettingsRecord defaults;
    SettingsRecord s = Settings;
    // One pass over the file for all keys: a large file would otherwise be read once a key.
    const ProfileSection file(kSection, path);
    struct stat st{};
    const bool fresh = ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
    g_refused_path.clear();
    g_refused_why.clear();
    if (file.status() != ProfileRead::Read && file.status() != ProfileRead::Missing) {
        g_refused_path = path;
        switch (file.status()) {
            case ProfileRead::NotRegular: g_refused_why = path + " is not a regular file"; break;
            case ProfileRead::TooLarge: g_refused_why = path + " is larger than 16 MB"; break;
            default: g_refused_why = "cannot read " + path + ": " + std::strerror(file.error()); break;
        }
        std::fprintf(stderr, "dewlark: settings: %s; starting on defaults\n", g_refused_why.c_str());
    }
    for (const Key& k : kKeys) {
        if (!stored(k)) continue;
        const std::string fallback = fresh && k.fresh ? k.fresh : text_of(defaults, k);
        set_from_text(s, k, file.get(k.name, fallback, is_name(k) ? kNameBuffer : kValueBuffer));
        correct(s, k, corrections);
    }
    Settings = s;
    ChosenRecordFormat.reset();
    clamp_memory_size();
}

void use_default_settings() {
    const SettingsRecord defaults;
    SettingsRecord s = Settings;
    for (const Key& k : kKeys) {
        if (!stored(k)) continue;
        set_from_text(s, k, k.fresh ? k.fresh : text_of(defaults, k));
        correct(s, k);
    }
    Settings = s;
    ChosenRecordFormat.reset();
    clamp_memory_size();
}

ProfileWrite save_settings() {
    const std::string path = settings_path();
    if (!g_refused_path.empty() && g_refused_path == path) {
        std::fprintf(stderr, "dewlark: settings not saved: %s\n", g_refused_why.c_str());
        return ProfileWrite::Failed;
    }
    if (!std::getenv("USERPROFILE") || !*std::getenv("USERPROFILE")) {
        std::string dir = path.substr(0, path.rfind('/'));
        ::mkdir(dir.substr(0, dir.rfind('/')).c_str(), 0755);
        ::mkdir(dir.c_str(), 0700);
    }
    SettingsRecord s = Settings;
    if (ChosenRecordFormat) {
        s.bits = ChosenRecordFormat->bits;
        s.channel = ChosenRecordFormat->channel;
        s.freq = ChosenRecordFormat->freq;
    }
    std::vector<std::pair<std::string, std::string>> values;
    for (const Key& k : kKeys)
        if (stored(k)) values.emplace_back(k.name, stored_text(s, k));
    const ProfileWrite result = write_profile_strings(kSection, values, path);
    if (result == ProfileWrite::ReadOnly)
        std::fprintf(stderr, "dewlark: settings not saved: %s is read-only\n", path.c_str());
    else if (result == ProfileWrite::NotRegular)
        std::fprintf(stderr, "dewlark: settings not saved: %s is not a regular file\n", path.c_str());
    else if (result == ProfileWrite::TooLarge)
        std::fprintf(stderr, "dewlark: settings not saved: %s is larger than 16 MB\n", path.c_str());
    else if (result == ProfileWrite::Failed)
        std::fprintf(stderr, "dewlark: settings not saved: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return result;
}

RecordFormatOffer record_format_offer(uint32_t mask) {
    return {(mask & 0xAAA) != 0, (mask & 0xCCC) != 0, (mask & 0xFF0) != 0, (mask & 0xF00) != 0};
}

RecordFormatChoice fitted_record_format(RecordFormatChoice c, uint32_t mask) {
    const RecordFormatOffer offer = record_format_offer(mask);
    if (!offer.stereo) c.channel = 1;
    if (!offer.sixteen_bit) c.bits = 8;
    if (!offer.above_11k) c.freq = 11025;
    else if (!offer.at_44k && c.freq == 44100) c.freq = 22050;
    return c;
}

void fit_record_settings(uint32_t mask) {
    const RecordFormatChoice before{Settings.bits, Settings.channel, Settings.freq};
    const RecordFormatChoice fitted_choice = fitted_record_format(before, mask);
    Settings.bits = fitted_choice.bits;
    Settings.channel = fitted_choice.channel;
    Settings.freq = fitted_choice.freq;
    const bool fitted =
        Settings.bits != before.bits || Settings.channel != before.channel || Settings.freq != before.freq;
    // A second fit keeps the first one's record: the values before it were fitted already.
    if (fitted && !ChosenRecordFormat) ChosenRecordFormat = before;
}

RecordFormatChoice monitor_record_format(uint32_t rate, int channels) {
    return {16, int16_t(channels >= 2 ? 2 : 1), std::clamp<uint32_t>(rate, 1000, 384000)};
}

void fit_record_settings_to_monitor(uint32_t rate, int channels) {
    const RecordFormatChoice before{Settings.bits, Settings.channel, Settings.freq};
    const RecordFormatChoice fitted = monitor_record_format(rate, channels);
    Settings.freq = fitted.freq;
    Settings.channel = fitted.channel;
    Settings.bits = fitted.bits;
    const bool changed =
        Settings.bits != before.bits || Settings.channel != before.channel || Settings.freq != before.freq;
    if (changed && !ChosenRecordFormat) ChosenRecordFormat = before;
}

bool set_setting_from_text(SettingsRecord& s, const std::string& key, const std::string& value,
                           std::vector<std::string>* corrections) {
    if (key == "Decibel") return s.Decibel = to_int(value) != 0, true;
    if (key == "Expand") return s.Expand = to_int(value) != 0, true;
    if (key == "Freeze") return s.Freeze = to_int(value) != 0, true;
    const Key* k = find_key(key);
    if (!k) return false;
    SettingsRecord edited = s;
    set_from_text(edited, *k, value.substr(0, (is_name(*k) ? kNameBuffer : kValueBuffer) - 1));
    correct(edited, *k, corrections);
    s = edited;
    if (key == "MemSize") clamp_memory_size(s);
    return true;
}

bool set_setting_from_text(const std::string& key, const std::string& value, std::vector<std::string>* corrections) {
    NoteSettingsChanged();
    return set_setting_from_text(Settings, key, value, corrections);
}

void SetDialogLook(bool raised) { Settings.dialog3d = raised ? 1 : 0; }

bool setting_text_allowed(const std::string& key, const std::string& value, std::string& takes) {
    takes.clear();
    const bool flag = key == "Decibel" || key == "Expand" || key == "Freeze";
    const Key* k = flag ? nullptr : find_key(key);
    if (!flag && !k) return false;
    if (k && is_name(*k)) {
        if (storable_name(value)) return true;
        takes = "a name of one line, at most 255 bytes, without blanks or quotes around it";
        return false;
    }
    takes = "a whole number";
    size_t i = value.empty() || (value[0] != '-' && value[0] != '+') ? 0 : 1;
    if (i == value.size()) return false;
    for (; i < value.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(value[i]))) return false;
    errno = 0;
    const long long v = std::strtoll(value.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT_MIN || v > (k && std::holds_alternative<uint32_t SettingsRecord::*>(k->field)
                                                   ? 4294967295LL
                                                   : INT_MAX))
        return false;
    // A value is read as the file's reader reads it, cut to its buffer: a longer one would set another.
    const bool fits = value.size() < kValueBuffer;
    if (flag || !k->range.checked) {
        if (!fits) takes = "a whole number of at most " + std::to_string(kValueBuffer - 1) + " characters";
        return fits ? (takes.clear(), true) : false;
    }
    // What the file's reader would keep as it is: the range, and a value below it that it keeps.
    const Range& r = k->range;
    const bool kept_below = r.below < r.lo;
    takes = (kept_below ? std::to_string(r.below) + " or " : std::string()) +
            (r.ends_only ? std::to_string(r.lo) + " or " + std::to_string(r.hi)
                         : std::to_string(r.lo) + " to " + std::to_string(r.hi));
    const bool kept = fits && ((v >= r.lo && v <= r.hi && (!r.ends_only || v == r.lo || v == r.hi)) ||
                               (kept_below && v == r.below));
    if (kept) takes.clear();
    return kept;
}

bool storable_name(const std::string& name) {
    if (name.size() > kNameBuffer - 1) return false;
    if (name.find_first_of("\r\n") != std::string::npos) return false;
    if (!name.empty() && (std::isspace(static_cast<unsigned char>(name.front())) ||
                          std::isspace(static_cast<unsigned char>(name.back()))))
        return false;
    // The reader takes a pair of surrounding quotes away.
    if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front()) return false;
    return true;
}

}  // namespace dl
