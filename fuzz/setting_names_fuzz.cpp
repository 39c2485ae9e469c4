// Any --set overrides, NAME=VALUE tokens cut at NUL bytes: the readable names (window=hann) and
// the settings file's own keys.
//
// An override is taken or refused whole, and the check before any work agrees with the run: one
// refused changes no setting and says why (a readable name's with the values it takes); one taken
// needs no correction, sets its one setting to the value the readable name's table gives (or the
// value given, for a key of the file) and leaves every setting in the range the file's reader
// keeps. A readable word is taken whatever its case, and a name's words give different values.
// Several overrides at once do what each does in turn.
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "app/batch_run.h"
#include "captured_stderr.h"
#include "state/reset.h"
#include "state/setting_names.h"
#include "state/settings.h"

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

using Record = dl::SettingsRecord;
using Member = std::variant<int Record::*, uint32_t Record::*, int16_t Record::*, bool Record::*, std::string Record::*>;
struct Field {
    const char* key;
    Member member;
    bool stored;  // kept in the settings file (the others are the run's own)
};

// Every field of the record, by its key: what the target compares records with.
const std::vector<Field>& fields() {
    static const std::vector<Field> all = {
        {"sex", &Record::sex, true}, {"use_onmei", &Record::use_onmei, true},
        {"use_complex", &Record::use_complex, true}, {"freqnum", &Record::freqnum, true},
        {"withlevel", &Record::withlevel, true}, {"adjust16", &Record::adjust16, true},
        {"adjust8", &Record::adjust8, true}, {"graph", &Record::graph, true},
        {"katamuki", &Record::katamuki, true}, {"monochrome", &Record::monochrome, true},
        {"PeakHold", &Record::PeakHold, true}, {"deltatime", &Record::deltatime, true},
        {"OnMem", &Record::OnMem, true}, {"MemSize", &Record::MemSize, true},
        {"dialog3d", &Record::dialog3d, true}, {"bits", &Record::bits, true},
        {"channel", &Record::channel, true}, {"freq", &Record::freq, true},
        {"display", &Record::display, true}, {"chartdot", &Record::chartdot, true},
        {"fftparam", &Record::fftparam, true}, {"UseMemDC", &Record::UseMemDC, true},
        {"ColorScale", &Record::ColorScale, true}, {"futosa", &Record::futosa, true},
        {"wavmode", &Record::wavmode, true}, {"mado", &Record::mado, true},
        {"InputDevice", &Record::InputDevice, true}, {"OutputDevice", &Record::OutputDevice, true},
        {"Recent1", &Record::Recent1, true}, {"Recent2", &Record::Recent2, true},
        {"Recent3", &Record::Recent3, true}, {"Recent4", &Record::Recent4, true},
        {"Recent5", &Record::Recent5, true}, {"OpenFolder", &Record::OpenFolder, true},
        {"VoicePointer", &Record::VoicePointer, true}, {"precise_peaks", &Record::precise_peaks, true},
        {"reference_a4", &Record::reference_a4, true}, {"tuner", &Record::tuner, true},
        {"level_meter", &Record::level_meter, true}, {"meter_ballistics", &Record::meter_ballistics, true},
        {"loudness_target", &Record::loudness_target, true}, {"spectrogram_span", &Record::spectrogram_span, true},
        {"LatencyOffset", &Record::LatencyOffset, true}, {"update_rate", &Record::update_rate, true},
        {"averaging", &Record::averaging, true}, {"average_ms", &Record::average_ms, true},
        {"average_blocks", &Record::average_blocks, true}, {"max_hold", &Record::max_hold, true},
        {"min_hold", &Record::min_hold, true}, {"hold_ms", &Record::hold_ms, true},
        {"weighting", &Record::weighting, true}, {"meter_weighting", &Record::meter_weighting, true},
        {"traces", &Record::traces, true}, {"peak_trace", &Record::peak_trace, true},
        {"window_width", &Record::window_width, true}, {"window_height", &Record::window_height, true},
        {"freq_low", &Record::freq_low, true}, {"freq_high", &Record::freq_high, true},
        {"db_top", &Record::db_top, true}, {"db_span", &Record::db_span, true},
        {"tuner_partial", &Record::tuner_partial, true},
        {"Decibel", &Record::Decibel, false}, {"Expand", &Record::Expand, false},
        {"ColourScaleKey", &Record::ColourScaleKey, false}, {"PlayRate", &Record::PlayRate, false},
        {"Freeze", &Record::Freeze, false},
    };
    return all;
}

const Field* field(const std::string& key) {
    for (const Field& f : fields())
        if (key == f.key) return &f;
    return nullptr;
}

// A field's value as the settings file writes it (a flag as 0 or 1).
std::string text_of(const Record& s, const Field& f) {
    return std::visit([&](auto m) -> std::string {
        using T = std::remove_cvref_t<decltype(s.*m)>;
        if constexpr (std::is_same_v<T, std::string>) return s.*m;
        else if constexpr (std::is_same_v<T, bool>) return s.*m ? "1" : "0";
        else return std::to_string(s.*m);
    }, f.member);
}

bool same_field(const Record& a, const Record& b, const Field& f) {
    return std::visit([&](auto m) { return a.*m == b.*m; }, f.member);
}

bool same(const Record& a, const Record& b, const Field* except = nullptr) {
    for (const Field& f : fields())
        if (&f != except && !same_field(a, b, f)) return false;
    return true;
}

// Whether a setting is in the range the file's reader keeps: read again from its own text, it is
// not corrected.
bool in_range(const Field& f) {
    if (!f.stored) return true;
    const Record now = dl::Settings;
    std::vector<std::string> corrections;
    check(dl::set_setting_from_text(f.key, text_of(now, f), &corrections));
    const bool kept = corrections.empty() && same_field(dl::Settings, now, f);
    dl::Settings = now;
    return kept;
}

const dl::ReadableSetting* readable(const std::string& name) {
    for (const dl::ReadableSetting& r : dl::readable_settings())
        if (name == r.name) return &r;
    return nullptr;
}

std::string with_case(std::string s, int (*change)(int)) {
    for (char& c : s) c = char(change(static_cast<unsigned char>(c)));
    return s;
}

bool whole_number(const std::string& s, long long& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0';
}

// The value a taken override leaves in its field, as the file would write it.
std::string expected_text(const Field& f, const std::string& value) {
    if (std::holds_alternative<std::string Record::*>(f.member)) return value;
    long long v = 0;
    check(whole_number(value, v));
    if (std::holds_alternative<bool Record::*>(f.member)) return v != 0 ? "1" : "0";
    return std::to_string(v);
}

// One override from the record as it stands; whether it was taken.
bool one_override(const std::string& name, const std::string& value) {
    const Record before = dl::Settings;
    std::string key, stored, why, takes;
    const dl::ReadableResult r = dl::translate_readable_setting(name, value, key, stored, why);
    const dl::ReadableSetting* shown = readable(name);
    std::string set_key = name, set_value = value;
    if (r == dl::ReadableResult::Translated) {
        check(shown && key == shown->key);
        long long number = 0;
        check(whole_number(stored, number));
        // The same word in another case is the same value.
        for (int (*change)(int) : {&toupper, &tolower}) {
            std::string k2, s2, w2;
            check(dl::translate_readable_setting(name, with_case(value, change), k2, s2, w2) ==
                      dl::ReadableResult::Translated &&
                  k2 == key && s2 == stored);
        }
        set_key = key;
        set_value = stored;
        check(dl::setting_text_allowed(key, stored, takes));
    } else if (r == dl::ReadableResult::BadValue) {
        check(shown && why.find(shown->values) != std::string::npos);
    } else if (shown) {
        // A readable name that is also the file's key takes the file's values too.
        check(name == shown->key && dl::setting_text_allowed(name, value, takes));
    }
    const bool taken = r != dl::ReadableResult::BadValue && dl::setting_text_allowed(set_key, set_value, takes);

    dl::BatchOptions options;
    options.sets = {{name, value}};
    captured_stderr::clear();
    check(dl::CheckSettingOverrides(options) == taken && same(dl::Settings, before));
    check(captured_stderr::said().empty() == taken);
    std::vector<std::string> corrections;
    captured_stderr::clear();
    check(dl::ApplySettingOverrides(options, &corrections) == taken);
    const std::string said = captured_stderr::said();
    if (!taken) {
        check(same(dl::Settings, before) && !said.empty());
        if (r == dl::ReadableResult::BadValue) check(said.find(shown->values) != std::string::npos);
        return false;
    }
    check(said.empty() && corrections.empty());
    const Field* f = field(set_key);
    check(f != nullptr);
    // The others are as they were, in range from the start.
    check(same(dl::Settings, before, f) && text_of(dl::Settings, *f) == expected_text(*f, set_value));
    check(in_range(*f));
    return true;
}

// The oracle knows every key the program stores, and the program every key of the oracle.
void check_fields_complete() {
    char dir[] = "/tmp/dewlark-setting-names-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    setenv("USERPROFILE", dir, 1);
    dl::ResetProcessState();
    if (dl::save_settings() != dl::ProfileWrite::Written) std::abort();
    std::ifstream file(dl::settings_path());
    std::string line;
    size_t keys = 0;
    while (std::getline(file, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || line[0] == '[') continue;
        ++keys;
        if (!field(line.substr(0, eq))) {
            std::fprintf(stdout, "setting_names_fuzz: the key %s is not in the target's list\n", line.substr(0, eq).c_str());
            std::abort();
        }
    }
    std::remove(dl::settings_path().c_str());
    rmdir(dir);
    for (const Field& f : fields())
        if (f.stored && (!dl::set_setting_from_text(f.key, text_of(dl::Settings, f)) || !in_range(f))) std::abort();
    if (keys == 0) std::abort();
    dl::ResetProcessState();
}

// Within a readable name, the words it lists give different values.
void check_words_distinct() {
    for (const dl::ReadableSetting& r : dl::readable_settings()) {
        std::set<std::string> values;
        std::istringstream words(r.values);
        std::string word;
        size_t translated = 0;
        while (words >> word) {
            std::string key, stored, why;
            if (dl::translate_readable_setting(r.name, word, key, stored, why) != dl::ReadableResult::Translated) continue;
            ++translated;
            values.insert(stored);
        }
        if (values.size() != translated) {
            std::fprintf(stdout, "setting_names_fuzz: two words of %s give the same value\n", r.name);
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    check_fields_complete();
    check_words_distinct();
    captured_stderr::install();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::pair<std::string, std::string>> sets;
    std::string token;
    for (size_t i = 0; i <= size && sets.size() < 8; ++i) {
        if (i < size && data[i] != 0) {
            token += char(data[i]);
            continue;
        }
        // As --set reads it: a name before the first '=', never empty.
        const size_t eq = token.find('=');
        if (eq != std::string::npos && eq > 0) sets.emplace_back(token.substr(0, eq), token.substr(eq + 1));
        token.clear();
    }

    dl::ResetProcessState();
    bool all_taken = true;
    for (const auto& [name, value] : sets) all_taken = one_override(name, value) && all_taken;
    const Record in_turn = dl::Settings;

    dl::ResetProcessState();
    dl::BatchOptions options;
    options.sets = sets;
    captured_stderr::clear();
    check(dl::ApplySettingOverrides(options) == all_taken);
    if (all_taken) check(same(dl::Settings, in_turn));
    dl::ResetProcessState();
    return 0;
}
