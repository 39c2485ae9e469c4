#include "state/setting_names.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "analysis/partial_reading.h"
#include "resources/command_ids.h"
#include "state/settings.h"

namespace dl {

namespace {

struct Choice {
    const char* word;
    int stored;
};

struct Entry {
    ReadableSetting shown;
    std::vector<Choice> choices;  // empty: a number, read by `number`
    // A number's stored value; false when it is not one the name takes.
    bool (*number)(const std::string& text, long& stored) = nullptr;
};

bool whole_number(const std::string& text, long& v) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0;
}

bool transform_points(const std::string& text, long& stored) {
    long n = 0;
    if (!whole_number(text, n)) return false;
    for (int p = 8; p <= 16; ++p)
        if (n == 1L << p) return stored = p, true;
    return false;
}

bool peak_count(const std::string& text, long& stored) {
    return whole_number(text, stored) && stored >= 0 && stored <= 999;
}

bool slice_samples(const std::string& text, long& stored) {
    return whole_number(text, stored) && stored >= 32 && stored <= 32768;
}

// Hertz with at most one decimal, stored in tenths.
bool reference_hertz(const std::string& text, long& stored) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double hz = std::strtod(text.c_str(), &end);
    if (*end || !(hz >= 400.0 && hz <= 480.0)) return false;
    const double tenths = hz * 10.0;
    if (std::fabs(tenths - std::round(tenths)) > 1e-6) return false;
    stored = std::lround(tenths);
    return true;
}

bool response_ms(const std::string& text, long& stored) {
    return whole_number(text, stored) && stored >= 25 && stored <= 10000;
}

bool average_blocks(const std::string& text, long& stored) {
    return whole_number(text, stored) && stored >= 2 && stored <= 256;
}

bool partial_number(const std::string& text, long& stored) {
    return whole_number(text, stored) && stored >= kFirstPartial && stored <= kLastPartial;
}

bool hold_ms(const std::string& text, long& stored) {
    return whole_number(text, stored) && (stored == 0 || (stored >= 500 && stored <= 10000));
}

bool range_hertz(const std::string& text, long& stored) {
    return whole_number(text, stored) && stored >= 0 && stored <= kMaxRangeHz;
}

bool top_decibels(const std::string& text, long& stored) {
    return whole_number(text, stored) && stored >= kMinDbTop && stored <= kMaxDbTop;
}

bool span_decibels(const std::string& text, long& stored) {
    return whole_number(text, stored) && (stored == 0 || (stored >= kMinDbSpan && stored <= kMaxDbSpan));
}

// Words as a user types them: "A" is "a", "On" is "on".
bool same_word(const std::string& typed, const char* word) {
    size_t i = 0;
    for (; i < typed.size() && word[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(typed[i])) != static_cast<unsigned char>(word[i])) return false;
    return i == typed.size() && word[i] == '\0';
}

const std::vector<Choice> kOnOff = {{"on", 1}, {"off", 0}};

const std::vector<Entry>& entries() {
    static const std::vector<Entry> table = {
        {{"view", "display", "linear log tuning spectrogram"},
         {{"linear", kViewLinear}, {"log", kViewLog}, {"tuning", kViewTuning}, {"spectrogram", kViewSpectrogram}}},
        {{"window", "mado", "hann hamming blackman triangle rectangular gauss4.2 gauss6.5 taper"},
         {{"hann", 0},
          {"hamming", 1},
          {"blackman", 2},
          {"triangle", 3},
          {"rectangular", 4},
          {"gauss4.2", 5},
          {"gauss6.5", 6},
          {"taper", 7}}},
        {{"transform", "fftparam", "256 512 1024 2048 4096 8192 16384 32768 65536 (points)"}, {}, transform_points},
        {{"labels", "use_onmei", "frequency note note+cents"}, {{"frequency", 0}, {"note", 1}, {"note+cents", 2}}},
        {{"peaks", "freqnum", "0 to 999 (labelled peaks)"}, {}, peak_count},
        {{"slice", "deltatime", "32 to 32768 (samples at 11025 or 8000 Hz between analysed blocks)"}, {}, slice_samples},
        {{"graph", "graph", "line bar"}, {{"line", kGraphLine}, {"bar", kGraphBar}}},
        {{"levels", "withlevel", "on off (each label with its level)"}, kOnOff},
        {{"reference", "reference_a4", "400 to 480 (Hz of A4, one decimal)"}, {}, reference_hertz},
        {{"precise", "precise_peaks", "on off (the precise peak estimator)"}, kOnOff},
        {{"pink", "katamuki", "on off (pink noise draws flat)"}, kOnOff},
        {{"memory", "OnMem", "on off (the whole file in memory first)"}, kOnOff},
        {{"scale", "Decibel", "decibel linear"}, {{"decibel", 1}, {"linear", 0}}},
        {{"averaging", "averaging", "off exponential linear infinite"},
         {{"off", 0}, {"exponential", 1}, {"linear", 2}, {"infinite", 3}}},
        {{"response", "average_ms", "25 to 10000 (ms of exponential averaging)"}, {}, response_ms},
        {{"blocks", "average_blocks", "2 to 256 (blocks of linear averaging)"}, {}, average_blocks},
        {{"maxhold", "max_hold", "on off (the max hold trace)"}, kOnOff},
        {{"minhold", "min_hold", "on off (the min hold trace)"}, kOnOff},
        {{"hold", "hold_ms", "0 (until reset) or 500 to 10000 (ms a held level stays)"}, {}, hold_ms},
        {{"weighting", "weighting", "z a c"}, {{"z", 0}, {"a", 1}, {"c", 2}}},
        {{"meterweighting", "meter_weighting", "on off (the meter strip through the weighting)"}, kOnOff},
        {{"traces", "traces", "mix left+right mid+side difference"},
         {{"mix", 0}, {"left+right", 1}, {"mid+side", 2}, {"difference", 3}}},
        {{"peaktrace", "peak_trace", "first second (the trace the peak list reads)"}, {{"first", 0}, {"second", 1}}},
        {{"low", "freq_low", "0 to 200000 (Hz at the graph's left edge; low=0 high=0: the whole range)"}, {}, range_hertz},
        {{"high", "freq_high", "0 to 200000 (Hz at the graph's right edge; 0: the Nyquist frequency)"}, {}, range_hertz},
        {{"top", "db_top", "-60 to 20 (dBFS at the top of the decibel scale)"}, {}, top_decibels},
        {{"span", "db_span", "0 (the scale's own) or 20 to 160 (dB from top to bottom)"}, {}, span_decibels},
        {{"partial", "tuner_partial", "1 to 8 (the partial the tuner reads; the fundamental is the first)"}, {}, partial_number},
    };
    return table;
}

}  // namespace

const std::vector<ReadableSetting>& readable_settings() {
    static const std::vector<ReadableSetting> shown = [] {
        std::vector<ReadableSetting> v;
        for (const Entry& e : entries()) v.push_back(e.shown);
        return v;
    }();
    return shown;
}

ReadableResult translate_readable_setting(const std::string& name, const std::string& value, std::string& key,
                                          std::string& stored, std::string& why) {
    for (const Entry& e : entries()) {
        if (name != e.shown.name) continue;
        key = e.shown.key;
        long number = 0;
        if (e.number && e.number(value, number)) {
            stored = std::to_string(number);
            return ReadableResult::Translated;
        }
        for (const Choice& c : e.choices)
            if (same_word(value, c.word)) {
                stored = std::to_string(c.stored);
                return ReadableResult::Translated;
            }
        // A name that is also the file's key takes the file's values as well, as it always did.
        std::string takes;
        if (std::string_view(e.shown.name) == e.shown.key && setting_text_allowed(e.shown.key, value, takes))
            return ReadableResult::NotReadable;
        why = name + "=" + value + ": " + name + " takes " + e.shown.values;
        return ReadableResult::BadValue;
    }
    return ReadableResult::NotReadable;
}

}  // namespace dl
