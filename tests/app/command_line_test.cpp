#include <gtest/gtest.h>

#include "app/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>

#include "app/usage.h"

#include "platform/profile.h"
#include "state/settings.h"
#include "support/test_support.h"

namespace {

using dl::ParseCommandLine;
using dl::Settings;

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { Settings = dl::SettingsRecord{}; }
};

TEST_F(CommandLineTest, AFileNameWithBlanksThenPStartsAtOnce) {
    auto cl = ParseCommandLine({"/home/me/my song.wav", "/p"});
    EXPECT_EQ(cl.file_name, "/home/me/my song.wav");
    EXPECT_TRUE(cl.auto_start);
    cl = ParseCommandLine({"take two.wav", "/44"});
    EXPECT_EQ(cl.file_name, "take two.wav");
    EXPECT_FALSE(cl.auto_start);
    EXPECT_EQ(Settings.freq, 44100u);
}

// The rate switches --help names (in either language) are the ones that give the rate it says.
TEST_F(CommandLineTest, TheHelpOffersTheRateSwitchesAsTheyWork) {
    const std::map<std::string, uint32_t> works = {{"/44", 44100}, {"/22", 22050}, {"/11", 11025},
                                                   {"/5", 48000},  {"/96", 96000}, {"/48000", 48000}};
    for (const char* locale : {"C.UTF-8", "ja_JP.UTF-8"}) {
        setenv("LC_ALL", locale, 1);
        char* text = nullptr;
        size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        dl::PrintUsage(out);
        std::fclose(out);
        const std::string help(text, size);
        std::free(text);
        // The lines of the rate switch, up to the blank line after the switches.
        size_t from = help.find("\n  /RATE");
        if (from == std::string::npos) from = help.find("\n  /レート");
        ASSERT_NE(from, std::string::npos) << help;
        const std::string lines = help.substr(from, help.find("\n\n", from) - from);
        std::set<std::string> offered;
        const std::regex rate_switch("/[0-9]+");
        for (std::sregex_iterator m(lines.begin(), lines.end(), rate_switch), end; m != end; ++m)
            offered.insert(m->str());
        for (const std::string& token : offered) {
            ASSERT_TRUE(works.count(token)) << locale << ": offers " << token;
            Settings.freq = 1;
            ParseCommandLine({token});
            EXPECT_EQ(Settings.freq, works.at(token)) << token;
        }
        EXPECT_EQ(offered.size(), works.size()) << locale << ":" << lines;
    }
    unsetenv("LC_ALL");
}

TEST_F(CommandLineTest, RateSwitches) {
    struct Case {
        const char* token;
        uint32_t freq;
    } cases[] = {{"/22050", 22050}, {"/24", 24000}, {"/2", 22050}, {"/88", 8000}, {"/9", 88200},
                 {"/96", 96000},    {"/6", 64000},  {"/5", 48000}, {"/3", 32000}, {"/16", 16000},
                 {"/12", 12000},    {"/1", 11025},  {"/8", 8000},  {"/48000", 48000}};
    for (const Case& c : cases) {
        Settings.freq = 1;
        ParseCommandLine({c.token});
        EXPECT_EQ(Settings.freq, c.freq) << c.token;
    }
    Settings.freq = 11025;
    ParseCommandLine({"/0", "/7", "/700"});
    EXPECT_EQ(Settings.freq, 11025u);
}

TEST_F(CommandLineTest, ChannelAndBitSwitchesTheLastWins) {
    ParseCommandLine({"/s", "/o"});
    EXPECT_EQ(Settings.channel, 2);
    EXPECT_EQ(Settings.bits, 8);
    ParseCommandLine({"/S", "/H", "/m"});
    EXPECT_EQ(Settings.channel, 1);
    EXPECT_EQ(Settings.bits, 16);
    EXPECT_TRUE(ParseCommandLine({"/l"}).large_layout);
}

TEST_F(CommandLineTest, OnlyExactSwitchesAreSwitchesAndTheLastFileWins) {
    auto cl = ParseCommandLine({"/tmp/a.wav", "/x", "/PS", "/tmp/b.wav"});
    EXPECT_EQ(cl.file_name, "/tmp/b.wav");
    cl = ParseCommandLine({"/tmp/a.wav", "/Px"});
    EXPECT_EQ(cl.file_name, "/Px");
    EXPECT_FALSE(cl.auto_start);
    cl = ParseCommandLine({"/4a"});
    EXPECT_EQ(cl.file_name, "/4a");
}

TEST_F(CommandLineTest, TokensAfterTheFifteenthAreIgnored) {
    std::vector<std::string> tokens(15, "/m");
    tokens.push_back("/p");
    tokens.push_back("late.wav");
    auto cl = ParseCommandLine(tokens);
    EXPECT_FALSE(cl.auto_start);
    EXPECT_TRUE(cl.file_name.empty());
    EXPECT_EQ(Settings.channel, 1);
}

TEST_F(CommandLineTest, SwitchesAreTheUsersChoiceAndSavedThoughTheDeviceCannotDoThem) {
    const std::string profile = dl_test::use_temporary_profile();
    dl_test::write_file(profile + "/dewlark.INI", "[dewlark]\nbits=8\nchannel=1\nfreq=11025\n");
    dl::load_settings();
    ParseCommandLine({"/S", "/H", "/44"});
    dl::fit_record_settings(0);  // no input device
    EXPECT_EQ(Settings.channel, 1);
    EXPECT_EQ(Settings.bits, 8);
    EXPECT_EQ(Settings.freq, 11025u);
    ASSERT_EQ(dl::save_settings(), dl::ProfileWrite::Written);
    const std::string ini = profile + "/dewlark.INI";
    EXPECT_EQ(dl::get_profile_string("dewlark", "channel", "", 32, ini), "2");
    EXPECT_EQ(dl::get_profile_string("dewlark", "bits", "", 32, ini), "16");
    EXPECT_EQ(dl::get_profile_string("dewlark", "freq", "", 32, ini), "44100");
    dl::ChosenRecordFormat.reset();
}

}  // namespace
