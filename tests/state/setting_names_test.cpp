#include <gtest/gtest.h>

#include <string>

#include "resources/command_ids.h"
#include "state/setting_names.h"
#include "state/settings.h"

namespace {

struct Translation {
    dl::ReadableResult result;
    std::string key, stored, why;
};

Translation translate(const std::string& name, const std::string& value) {
    Translation t;
    t.result = dl::translate_readable_setting(name, value, t.key, t.stored, t.why);
    return t;
}

TEST(SettingNames, ReadableNamesGiveTheFilesKeysAndValues) {
    const struct {
        std::string name, value, key, stored;
    } cases[] = {
        {"view", "linear", "display", "109"},       {"view", "spectrogram", "display", "112"},
        {"window", "hann", "mado", "0"},            {"window", "rectangular", "mado", "4"},
        {"window", "taper", "mado", "7"},           {"transform", "256", "fftparam", "8"},
        {"transform", "4096", "fftparam", "12"},    {"transform", "65536", "fftparam", "16"},
        {"labels", "note+cents", "use_onmei", "2"}, {"labels", "frequency", "use_onmei", "0"},
        {"peaks", "0", "freqnum", "0"},             {"peaks", "999", "freqnum", "999"},
        {"slice", "32768", "deltatime", "32768"},   {"graph", "line", "graph", "116"},
        {"levels", "on", "withlevel", "1"},         {"reference", "442.5", "reference_a4", "4425"},
        {"reference", "440", "reference_a4", "4400"}, {"precise", "off", "precise_peaks", "0"},
        {"pink", "on", "katamuki", "1"},            {"memory", "on", "OnMem", "1"},
        {"scale", "linear", "Decibel", "0"},
        {"low", "50", "freq_low", "50"},            {"high", "1500", "freq_high", "1500"},
        {"high", "0", "freq_high", "0"},            {"top", "-20", "db_top", "-20"},
        {"span", "0", "db_span", "0"},              {"span", "160", "db_span", "160"},
        {"partial", "1", "tuner_partial", "1"},     {"partial", "8", "tuner_partial", "8"},
    };
    for (const auto& c : cases) {
        const Translation t = translate(c.name, c.value);
        EXPECT_EQ(t.result, dl::ReadableResult::Translated) << c.name << "=" << c.value << ": " << t.why;
        EXPECT_EQ(t.key, c.key) << c.name;
        EXPECT_EQ(t.stored, c.stored) << c.name << "=" << c.value;
    }
}

TEST(SettingNames, ValuesANameDoesNotTakeSayWhichItTakes) {
    const struct {
        std::string name, value;
    } cases[] = {{"window", "Hanning"},  {"window", ""},        {"transform", "4000"}, {"transform", "128"},
                 {"transform", "4096x"}, {"peaks", "-1"},       {"peaks", "1000"},     {"slice", "16"},
                 {"reference", "480.05"}, {"reference", "399.9"}, {"reference", "nan"}, {"levels", "yes"},
                 {"view", "3"},          {"low", "-1"},         {"high", "200001"},    {"low", "50Hz"},
                 {"top", "21"},          {"top", "-61"},        {"span", "10"},        {"span", "161"},
                 {"partial", "0"},       {"partial", "9"},      {"partial", "2.5"}};
    for (const auto& c : cases) {
        const Translation t = translate(c.name, c.value);
        EXPECT_EQ(t.result, dl::ReadableResult::BadValue) << c.name << "=" << c.value;
        EXPECT_EQ(t.why.rfind(c.name + "=" + c.value + ": " + c.name + " takes ", 0), 0u) << t.why;
    }
    EXPECT_EQ(translate("mado", "2").result, dl::ReadableResult::NotReadable) << "the file's keys pass through";
    EXPECT_EQ(translate("nosuch", "2").result, dl::ReadableResult::NotReadable);
    // graph is also the file's key: its stored values pass through, and a value it does not keep
    // is refused rather than corrected behind the user's back.
    EXPECT_EQ(translate("graph", "118").result, dl::ReadableResult::BadValue);
    EXPECT_EQ(translate("graph", std::to_string(dl::kGraphBar)).result, dl::ReadableResult::NotReadable);
    // Words as users type them.
    EXPECT_EQ(translate("window", "Hann").result, dl::ReadableResult::Translated);
    EXPECT_EQ(translate("weighting", "A").stored, "1");
    EXPECT_EQ(translate("precise", "ON").stored, "1");
}

// A run's value is read as the file's reader reads one, cut to 31 characters: a longer number
// would set another value than the one checked, so it is refused.
TEST(SettingNames, ANumberLongerThanTheFileReadsIsRefused) {
    std::string takes;
    const std::string padded(40, '0');
    EXPECT_FALSE(dl::setting_text_allowed("freq", padded + "44100", takes));
    EXPECT_EQ(takes, "1 to 384000");
    EXPECT_FALSE(dl::setting_text_allowed("sex", padded + "1", takes));
    EXPECT_EQ(takes, "a whole number of at most 31 characters");
    const std::string longest = std::string(26, '0') + "44100";
    ASSERT_TRUE(dl::setting_text_allowed("freq", longest, takes)) << takes;
    std::vector<std::string> corrections;
    ASSERT_TRUE(dl::set_setting_from_text("freq", longest, &corrections));
    EXPECT_EQ(dl::Settings.freq, 44100u);
    EXPECT_TRUE(corrections.empty());
    dl::Settings = dl::SettingsRecord{};
}

// Every readable name sets a key the settings know, to a value they keep as it is.
TEST(SettingNames, EveryNameSetsAKeyOfTheSettings) {
    for (const dl::ReadableSetting& r : dl::readable_settings()) {
        std::string key, stored, why;
        const std::string values = r.values;
        const std::string first = values.substr(0, values.find(' '));
        ASSERT_EQ(dl::translate_readable_setting(r.name, first, key, stored, why), dl::ReadableResult::Translated)
            << r.name << "=" << first << ": " << why;
        EXPECT_EQ(key, r.key);
        std::vector<std::string> corrections;
        EXPECT_TRUE(dl::set_setting_from_text(key, stored, &corrections)) << key;
        EXPECT_TRUE(corrections.empty()) << key << "=" << stored << ": " << corrections.front();
    }
    dl::Settings = dl::SettingsRecord{};
}

}  // namespace
