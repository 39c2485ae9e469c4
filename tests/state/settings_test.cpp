#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include "platform/profile.h"
#include "state/settings.h"
#include "state/shell.h"
#include "support/test_support.h"

namespace {

using dl::Settings;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = dl_test::use_temporary_profile();
        Settings = dl::SettingsRecord{};
        dl::PlatformVersion = dl::kThisPlatformVersion;
    }
    std::string ini() const { return dir_ + "/dewlark.INI"; }
    void write_ini(const std::string& body) { std::ofstream(ini()) << "[dewlark]\n" << body; }
    std::string dir_;
};

TEST_F(SettingsTest, NoFileGivesDefaultsAndSavingWritesAllKeysInOrder) {
    dl::load_settings();
    EXPECT_EQ(Settings.freqnum, 4);
    EXPECT_EQ(Settings.graph, 117);
    EXPECT_EQ(Settings.deltatime, 2048u);
    EXPECT_EQ(Settings.freq, 11025u);
    EXPECT_EQ(Settings.display, 110);
    EXPECT_EQ(Settings.fftparam, 12);
    EXPECT_EQ(Settings.PeakHold, 1);
    EXPECT_EQ(Settings.MemSize, 15);
    EXPECT_TRUE(Settings.Decibel);
    EXPECT_FALSE(Settings.Expand);

    dl::save_settings();
    std::ifstream in(ini());
    std::string line;
    std::vector<std::string> keys;
    while (std::getline(in, line))
        if (auto eq = line.find('='); eq != std::string::npos) keys.push_back(line.substr(0, eq));
    ASSERT_EQ(keys.size(), 61u);
    const std::vector<std::string> order = {
        "sex",      "use_onmei", "use_complex", "freqnum",  "withlevel",  "adjust16", "adjust8", "graph", "katamuki",
        "monochrome", "PeakHold", "deltatime",  "OnMem",    "MemSize",    "dialog3d", "bits",    "channel", "freq",
        "display",  "chartdot",  "fftparam",    "UseMemDC", "ColorScale", "futosa",   "wavmode", "mado",
        "InputDevice", "OutputDevice", "Recent1", "Recent2", "Recent3", "Recent4", "Recent5", "OpenFolder",
        "VoicePointer", "precise_peaks", "reference_a4", "tuner", "level_meter", "meter_ballistics",
        "loudness_target", "spectrogram_span", "LatencyOffset", "update_rate",
        "averaging", "average_ms", "average_blocks", "max_hold", "min_hold", "hold_ms", "weighting",
        "meter_weighting", "traces", "peak_trace", "window_width", "window_height", "freq_low", "freq_high",
        "db_top", "db_span", "tuner_partial"};
    EXPECT_EQ(keys, order);
    const std::string text = dl_test::read_file(ini());
    EXPECT_NE(text.find("deltatime=2048\n"), std::string::npos);
    EXPECT_NE(text.find("freq=11025\n"), std::string::npos);
    EXPECT_NE(text.find("bits=16\n"), std::string::npos);
}

TEST_F(SettingsTest, RoundTripKeepsEveryValue) {
    Settings.sex = 2;
    Settings.use_onmei = 2;
    Settings.adjust16 = -37;
    Settings.deltatime = 512;
    Settings.freq = 44100;
    Settings.channel = 1;
    Settings.bits = 8;
    Settings.display = 111;
    Settings.mado = 5;
    // Device names are longer than numbers and may hold blanks and punctuation.
    Settings.InputDevice = "Monitor of Built-in Audio Analog Stereo (USB #2)";
    Settings.OutputDevice = "";
    dl::save_settings();
    Settings = dl::SettingsRecord{};
    dl::load_settings();
    EXPECT_EQ(Settings.InputDevice, "Monitor of Built-in Audio Analog Stereo (USB #2)");
    EXPECT_EQ(Settings.OutputDevice, "");
    EXPECT_EQ(Settings.sex, 2);
    EXPECT_EQ(Settings.use_onmei, 2);
    EXPECT_EQ(Settings.adjust16, -37);
    EXPECT_EQ(Settings.deltatime, 512u);
    EXPECT_EQ(Settings.freq, 44100u);
    EXPECT_EQ(Settings.channel, 1);
    EXPECT_EQ(Settings.bits, 8);
    EXPECT_EQ(Settings.display, 111);
    EXPECT_EQ(Settings.mado, 5);
}

TEST_F(SettingsTest, NamesInQuotesOrWithBlanksComeBackAsTheyWereRead) {
    write_ini("Recent1=\"\"take \"one\"\"\"\nOpenFolder=\" /spaced \"\nOutputDevice='x'\nInputDevice=\"\n");
    dl::load_settings();
    EXPECT_EQ(Settings.Recent1, "\"take \"one\"\"");
    EXPECT_EQ(Settings.OpenFolder, " /spaced ");
    EXPECT_EQ(Settings.OutputDevice, "x");
    EXPECT_EQ(Settings.InputDevice, "\"");
    const dl::SettingsRecord first = Settings;
    dl::save_settings();
    const std::string once = dl_test::read_file(ini());
    dl::load_settings();
    EXPECT_EQ(Settings.Recent1, first.Recent1);
    EXPECT_EQ(Settings.OpenFolder, first.OpenFolder);
    EXPECT_EQ(Settings.InputDevice, first.InputDevice);
    dl::save_settings();
    EXPECT_EQ(dl_test::read_file(ini()), once) << "a second save changes nothing";
}

TEST_F(SettingsTest, AFileWithoutTheDeviceKeysChoosesTheDefaults) {
    write_ini("sex=1\ndeltatime=1024\nmado=3\n");
    Settings.InputDevice = "left over";
    dl::load_settings();
    EXPECT_EQ(Settings.sex, 1);
    EXPECT_EQ(Settings.deltatime, 1024u);
    EXPECT_EQ(Settings.mado, 3);
    EXPECT_EQ(Settings.InputDevice, "");
    EXPECT_EQ(Settings.OutputDevice, "");
}

// The pointer moves by the voice only once the user switched it on: a file from before the switch, with a
// voice range chosen, leaves it off; a value that is not 0 or 1 reads as off.
TEST_F(SettingsTest, TheVoicePointerIsOffUnlessSwitchedOn) {
    write_ini("sex=2\n");
    dl::load_settings();
    EXPECT_EQ(Settings.sex, 2);
    EXPECT_EQ(Settings.VoicePointer, 0);
    write_ini("sex=1\nVoicePointer=1\n");
    dl::load_settings();
    EXPECT_EQ(Settings.VoicePointer, 1);
    write_ini("sex=1\nVoicePointer=7\n");
    dl::load_settings();
    EXPECT_EQ(Settings.VoicePointer, 0);
}

// The user's latency offset: none without the key (a file from before it, or none at all), kept
// within 0..1000 ms.
TEST_F(SettingsTest, LatencyOffsetIsZeroWithoutTheKeyAndKeptInItsRange) {
    dl::load_settings();
    EXPECT_EQ(Settings.LatencyOffset, 0);
    write_ini("tuner=1\n");
    dl::load_settings();
    EXPECT_EQ(Settings.LatencyOffset, 0);
    for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{
             {"180", 180}, {"0", 0}, {"1000", 1000}, {"1001", 1000}, {"-5", 0}, {"bluetooth", 0}}) {
        write_ini("LatencyOffset=" + text + "\n");
        dl::load_settings();
        EXPECT_EQ(Settings.LatencyOffset, value) << text;
    }
    Settings.LatencyOffset = 240;
    dl::save_settings();
    Settings = dl::SettingsRecord{};
    dl::load_settings();
    EXPECT_EQ(Settings.LatencyOffset, 240);
}

// Pictures a second: a file from before the key keeps one picture a time slice, a start without a
// file draws 30 a second; what is written is kept, within 0..120.
TEST_F(SettingsTest, UpdateRateIsThirtyOnAFreshStartAndOffForAnOlderFile) {
    dl::load_settings();
    EXPECT_EQ(Settings.update_rate, 30);
    write_ini("tuner=1\n");
    dl::load_settings();
    EXPECT_EQ(Settings.update_rate, 0);
    for (const auto& [text, value] :
         std::vector<std::pair<std::string, int>>{{"60", 60}, {"0", 0}, {"500", 120}, {"-3", 0}, {"fast", 0}}) {
        write_ini("update_rate=" + text + "\n");
        dl::load_settings();
        EXPECT_EQ(Settings.update_rate, value) << text;
    }
    Settings.update_rate = 15;
    dl::save_settings();
    Settings = dl::SettingsRecord{};
    dl::load_settings();
    EXPECT_EQ(Settings.update_rate, 15);
}

// The frequency and level range: none on a fresh start and in a file from before the keys; stored
// values are kept within their limits, a span below the narrowest meaning the scale's own.
TEST_F(SettingsTest, RangeKeysShowTheWholeRangeUnlessChosen) {
    for (bool old_file : {false, true}) {
        if (old_file) write_ini("tuner=1\n");
        dl::load_settings();
        EXPECT_EQ(Settings.freq_low, 0);
        EXPECT_EQ(Settings.freq_high, 0);
        EXPECT_EQ(Settings.db_top, 0);
        EXPECT_EQ(Settings.db_span, 0);
    }
    write_ini("freq_low=50\nfreq_high=999999\ndb_top=-99\ndb_span=5\n");
    dl::load_settings();
    EXPECT_EQ(Settings.freq_low, 50);
    EXPECT_EQ(Settings.freq_high, dl::kMaxRangeHz);
    EXPECT_EQ(Settings.db_top, dl::kMinDbTop);
    EXPECT_EQ(Settings.db_span, 0);
    write_ini("freq_low=-3\ndb_top=40\ndb_span=500\n");
    dl::load_settings();
    EXPECT_EQ(Settings.freq_low, 0);
    EXPECT_EQ(Settings.db_top, dl::kMaxDbTop);
    EXPECT_EQ(Settings.db_span, dl::kMaxDbSpan);
    Settings.freq_low = 80;
    Settings.freq_high = 1200;
    Settings.db_top = -6;
    Settings.db_span = 72;
    dl::save_settings();
    Settings = dl::SettingsRecord{};
    dl::load_settings();
    EXPECT_EQ(Settings.freq_low, 80);
    EXPECT_EQ(Settings.freq_high, 1200);
    EXPECT_EQ(Settings.db_top, -6);
    EXPECT_EQ(Settings.db_span, 72);
}

// The tuner's partial: the fundamental on a fresh start, in a file from before the key, and for a
// number no partial choice has; a choice is kept.
TEST_F(SettingsTest, TheTunerReadsTheFundamentalUnlessAPartialWasChosen) {
    for (const char* file : {"", "tuner=1\n", "tuner_partial=9\n", "tuner_partial=0\n", "tuner_partial=x\n"}) {
        if (*file) write_ini(file);
        dl::load_settings();
        EXPECT_EQ(Settings.tuner_partial, 1) << file;
    }
    write_ini("tuner_partial=8\n");
    dl::load_settings();
    EXPECT_EQ(Settings.tuner_partial, 8);
    Settings.tuner_partial = 3;
    dl::save_settings();
    Settings = dl::SettingsRecord{};
    dl::load_settings();
    EXPECT_EQ(Settings.tuner_partial, 3);
}

// The window's size: the normal one without the keys or with a size no window has; a size kept is read back.
TEST_F(SettingsTest, TheWindowSizeIsNormalUnlessAPlausibleOneWasKept) {
    dl::load_settings();
    EXPECT_EQ(Settings.window_width, 0);
    EXPECT_EQ(Settings.window_height, 0);
    for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{
             {"1600", 1600}, {"0", 0}, {"8193", 0}, {"-5", 0}, {"wide", 0}}) {
        write_ini("window_width=" + text + "\nwindow_height=" + text + "\n");
        dl::load_settings();
        EXPECT_EQ(Settings.window_width, value) << text;
        EXPECT_EQ(Settings.window_height, value) << text;
    }
}

// The keys after the devices and recent files: a file from before them keeps the line read-out of
// use_complex and no tuner; a start without any file takes the precise estimator and the tuner.
TEST_F(SettingsTest, PeakMethodTuningAndTunerResolveByWhetherAFileExists) {
    dl::load_settings();
    EXPECT_EQ(Settings.precise_peaks, 1);
    EXPECT_EQ(Settings.tuner, 1);
    EXPECT_EQ(Settings.reference_a4, 4400);
    EXPECT_DOUBLE_EQ(dl::ReferenceA4(), 440.0);
    for (const char* old : {"use_complex=0\n", "use_complex=1\n", ""}) {
        write_ini(old);
        dl::load_settings();
        EXPECT_EQ(Settings.precise_peaks, 0) << old;
        EXPECT_EQ(Settings.tuner, 0) << old;
        EXPECT_EQ(Settings.reference_a4, 4400) << old;
    }
    write_ini("use_complex=1\nprecise_peaks=1\nreference_a4=4150\ntuner=1\n");
    dl::load_settings();
    EXPECT_EQ(Settings.use_complex, 1);
    EXPECT_EQ(Settings.precise_peaks, 1);
    EXPECT_DOUBLE_EQ(dl::ReferenceA4(), 415.0);
    EXPECT_EQ(Settings.tuner, 1);
    // Out of range: the usual 440 Hz and the methods of before.
    write_ini("precise_peaks=7\nreference_a4=442\ntuner=-1\n");
    dl::load_settings();
    EXPECT_EQ(Settings.precise_peaks, 0);
    EXPECT_EQ(Settings.reference_a4, 4400);
    EXPECT_EQ(Settings.tuner, 0);
    // What is chosen is written back as such.
    Settings.reference_a4 = 4430;
    Settings.precise_peaks = 1;
    dl::save_settings();
    Settings = dl::SettingsRecord{};
    dl::load_settings();
    EXPECT_EQ(Settings.reference_a4, 4430);
    EXPECT_EQ(Settings.precise_peaks, 1);
}

// The meter keys: without them (an old file, or none) the peak meter stands alone, as before; values
// out of range fall back to that too, and a target outside -60..-5 LUFS to -23.
TEST_F(SettingsTest, MeterKeysKeepThePeakMeterUnlessChosen) {
    for (const char* file : std::initializer_list<const char*>{"", "tuner=1\n", nullptr}) {
        if (file) write_ini(file);
        else std::remove(ini().c_str());
        dl::load_settings();
        EXPECT_EQ(Settings.level_meter, 0);
        EXPECT_EQ(Settings.meter_ballistics, 0);
        EXPECT_EQ(Settings.loudness_target, -230);
    }
    write_ini("level_meter=2\nmeter_ballistics=3\nloudness_target=-140\n");
    dl::load_settings();
    EXPECT_EQ(Settings.level_meter, 2);
    EXPECT_EQ(Settings.meter_ballistics, 3);
    EXPECT_EQ(Settings.loudness_target, -140);
    write_ini("level_meter=3\nmeter_ballistics=-1\nloudness_target=-5\n");
    std::vector<std::string> notes;
    dl::load_settings(&notes);
    EXPECT_EQ(Settings.level_meter, 0);
    EXPECT_EQ(Settings.meter_ballistics, 0);
    EXPECT_EQ(Settings.loudness_target, -230);
    EXPECT_EQ(notes.size(), 3u);
    write_ini("loudness_target=-600\n");
    dl::load_settings();
    EXPECT_EQ(Settings.loudness_target, -600);
}

// One rule for what an input device records, used by the start-up fit and by the record-port dialog:
// what it does not offer falls back to mono, 8 bits, 11025 Hz, and 44100 Hz to 22050 Hz.
TEST(RecordFormatFit, WhatTheDeviceDoesNotOfferFallsBack) {
    using dl::RecordFormatChoice;
    auto fit = [](RecordFormatChoice c, uint32_t mask) {
        const RecordFormatChoice f = dl::fitted_record_format(c, mask);
        return std::make_tuple(f.bits, f.channel, f.freq);
    };
    EXPECT_EQ(fit({16, 2, 44100}, 0xFFF), std::make_tuple(int16_t(16), int16_t(2), 44100u));
    EXPECT_EQ(fit({16, 2, 44100}, 0), std::make_tuple(int16_t(8), int16_t(1), 11025u));
    EXPECT_EQ(fit({16, 2, 44100}, 0x0FF), std::make_tuple(int16_t(16), int16_t(2), 22050u));
    EXPECT_EQ(fit({16, 2, 48000}, 0x0FF), std::make_tuple(int16_t(16), int16_t(2), 48000u)) << "a rate of its own stays";
    EXPECT_EQ(fit({16, 2, 22050}, 0x111), std::make_tuple(int16_t(8), int16_t(1), 22050u));
    const dl::RecordFormatOffer none = dl::record_format_offer(0), all = dl::record_format_offer(0xFFF);
    EXPECT_FALSE(none.stereo || none.sixteen_bit || none.above_11k || none.at_44k);
    EXPECT_TRUE(all.stereo && all.sixteen_bit && all.above_11k && all.at_44k);
}

TEST_F(SettingsTest, DisplayAndMemSizeAreClamped) {
    write_ini("display=5\nMemSize=0\n");
    dl::load_settings();
    EXPECT_EQ(Settings.display, 109);
    EXPECT_EQ(Settings.MemSize, 2);
    write_ini("display=200\nMemSize=1000\n");
    dl::load_settings();
    EXPECT_EQ(Settings.display, 111);
    EXPECT_EQ(Settings.MemSize, 255);
    dl::PlatformVersion = 779;
    dl::load_settings();
    EXPECT_EQ(Settings.MemSize, 15);
}

TEST_F(SettingsTest, SpectrogramIsAStoredViewAndOtherValuesKeepTheirCorrection) {
    for (auto [stored, loaded] : {std::pair{112, 112}, std::pair{111, 111}, std::pair{113, 111}, std::pair{124, 111},
                                  std::pair{108, 109}, std::pair{-1, 109}}) {
        write_ini("display=" + std::to_string(stored) + "\n");
        dl::load_settings();
        EXPECT_EQ(Settings.display, loaded) << stored;
    }
    // Written back as chosen, and read again as such.
    Settings.display = 112;
    dl::save_settings();
    Settings.display = 110;
    dl::load_settings();
    EXPECT_EQ(Settings.display, 112);
    EXPECT_TRUE(dl::set_setting_from_text("display", "112"));
    EXPECT_EQ(Settings.display, 112);
    EXPECT_TRUE(dl::set_setting_from_text("display", "150"));
    EXPECT_EQ(Settings.display, 111);
}

TEST_F(SettingsTest, NumbersAreReadLikeTheProfileServiceGivesThem) {
    write_ini("freqnum=  12abc\nadjust16=-5\nsex=+1\nfreq=99999999999\nchartdot=xyz\n");
    dl::load_settings();
    EXPECT_EQ(Settings.freqnum, 12);
    EXPECT_EQ(Settings.adjust16, -5);
    EXPECT_EQ(Settings.sex, 1);
    EXPECT_EQ(Settings.chartdot, 0);
    // Too large for 32 bits becomes 4294967295, which is then brought into a range a device can open.
    EXPECT_EQ(Settings.freq, 384000u);
}

TEST_F(SettingsTest, ANonNumericDeltatimeReadsAsZeroAndIsBroughtIntoRange) {
    write_ini("deltatime=fast\n");
    dl::load_settings();
    EXPECT_EQ(Settings.deltatime, 32u);
}

TEST_F(SettingsTest, ValuesAreCutAt31Characters) {
    // 40 characters: 29 zeros, then "12345678901"; only "…0012" survives the cut.
    write_ini("adjust8=" + std::string(29, '0') + "12345678901\n");
    dl::load_settings();
    EXPECT_EQ(Settings.adjust8, 12);
    EXPECT_EQ(dl::get_profile_string("dewlark", "adjust8", "", 32, ini()).size(), 31u);
}

TEST_F(SettingsTest, ValuesThatWouldBreakLaterUseAreBroughtIntoRange) {
    write_ini(
        "fftparam=40\nmado=9\nwavmode=-1\nuse_onmei=3\nPeakHold=7\ngraph=5\nfutosa=0\nfreqnum=5000\n"
        "bits=24\nchannel=6\nfreq=0\ndeltatime=100000\n");
    dl::load_settings();
    EXPECT_EQ(Settings.fftparam, 16);
    EXPECT_EQ(Settings.mado, 0);
    EXPECT_EQ(Settings.wavmode, 0);
    EXPECT_EQ(Settings.use_onmei, 0);
    EXPECT_EQ(Settings.PeakHold, 1);
    EXPECT_EQ(Settings.graph, 117);
    EXPECT_EQ(Settings.futosa, 1);
    EXPECT_EQ(Settings.freqnum, 999);
    EXPECT_EQ(Settings.bits, 16);
    EXPECT_EQ(Settings.channel, 2);
    EXPECT_EQ(Settings.freq, 11025u);
    EXPECT_EQ(Settings.deltatime, 32768u);
    write_ini("fftparam=2\nfreqnum=-3\n");
    dl::load_settings();
    EXPECT_EQ(Settings.fftparam, 8);
    EXPECT_EQ(Settings.freqnum, 0);
}

TEST_F(SettingsTest, SavingKeepsOtherSectionsAndLines) {
    std::ofstream(ini()) << "; my notes\n[other]\nx=1\n\n[dewlark]\nsex=1\nunknown=keep\n\n[tail]\ny=2\n";
    dl::load_settings();
    dl::save_settings();
    const std::string text = dl_test::read_file(ini());
    EXPECT_NE(text.find("; my notes"), std::string::npos);
    EXPECT_NE(text.find("[other]\nx=1"), std::string::npos);
    EXPECT_NE(text.find("unknown=keep"), std::string::npos);
    EXPECT_NE(text.find("[tail]\ny=2"), std::string::npos);
    EXPECT_NE(text.find("sex=1"), std::string::npos);
    // The new keys stay inside the section, before the next one.
    EXPECT_LT(text.find("mado="), text.find("[tail]"));
}

TEST_F(SettingsTest, EmptyUserProfileUsesTheConfigFolder) {
    setenv("USERPROFILE", "", 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "/cfg").c_str(), 1);
    EXPECT_EQ(dl::settings_path(), dir_ + "/cfg/dewlark/dewlark.INI");
    dl::save_settings();
    EXPECT_FALSE(dl_test::read_file(dir_ + "/cfg/dewlark/dewlark.INI").empty());
    setenv("USERPROFILE", dir_.c_str(), 1);
    EXPECT_EQ(dl::settings_path(), dir_ + "/dewlark.INI");
}

TEST_F(SettingsTest, AFailedWriteLeavesNothingHalfWritten) {
    // The settings path is a folder: no replacement is made for it.
    const std::string blocked = dir_ + "/blocked";
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((blocked + "/dewlark.INI").c_str(), 0755), 0);
    EXPECT_EQ(dl::write_profile_strings("dewlark", {{"sex", "1"}}, blocked + "/dewlark.INI"),
              dl::ProfileWrite::NotRegular);
    int entries = 0;
    for (DIR* d = opendir(blocked.c_str()); d;) {
        dirent* e = readdir(d);
        if (!e) { closedir(d); break; }
        if (e->d_name[0] != '.') ++entries;
    }
    EXPECT_EQ(entries, 1);  // only the folder itself, no temporary file left behind
}

TEST_F(SettingsTest, OverridesTakeTheSameRules) {
    EXPECT_TRUE(dl::set_setting_from_text("use_onmei", "1"));
    EXPECT_EQ(Settings.use_onmei, 1);
    EXPECT_TRUE(dl::set_setting_from_text("Decibel", "0"));
    EXPECT_FALSE(Settings.Decibel);
    EXPECT_TRUE(dl::set_setting_from_text("fftparam", "30"));
    EXPECT_EQ(Settings.fftparam, 16);
    EXPECT_FALSE(dl::set_setting_from_text("nonsense", "1"));
}

}  // namespace
