// The recent files of the File menu as the settings keep them.
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/profile.h"
#include "state/recent_files.h"
#include "state/reset.h"
#include "state/settings.h"
#include "support/test_support.h"

namespace {

using dl::RecentFiles;
using dl::RememberRecentFile;
using dl::Settings;
using Paths = std::vector<std::string>;

class RecentFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = dl_test::use_temporary_profile();
        dl::ResetProcessState();
    }
    void TearDown() override { dl::ResetProcessState(); }
    std::string file(const std::string& name) { return dl_test::write_file(dir_ + "/" + name, "RIFF"); }
    std::string dir_;
};

TEST_F(RecentFilesTest, MostRecentFirstWithoutRepeatsAndAtMostFive) {
    EXPECT_TRUE(RecentFiles().empty());
    for (const char* name : {"/a/1.wav", "/a/2.mp3", "/a/3.ogg"}) EXPECT_TRUE(RememberRecentFile(name));
    EXPECT_EQ(RecentFiles(), (Paths{"/a/3.ogg", "/a/2.mp3", "/a/1.wav"}));
    // Opened again: it comes first and is there once.
    RememberRecentFile("/a/1.wav");
    EXPECT_EQ(RecentFiles(), (Paths{"/a/1.wav", "/a/3.ogg", "/a/2.mp3"}));
    for (const char* name : {"/b/4.wav", "/b/5.wav", "/b/6.wav"}) RememberRecentFile(name);
    EXPECT_EQ(RecentFiles(), (Paths{"/b/6.wav", "/b/5.wav", "/b/4.wav", "/a/1.wav", "/a/3.ogg"}));
    EXPECT_EQ(Settings.Recent1, "/b/6.wav");
    EXPECT_EQ(Settings.Recent5, "/a/3.ogg");
    // The fourth opened again: the order closes up behind it, still five.
    RememberRecentFile("/a/1.wav");
    EXPECT_EQ(RecentFiles(), (Paths{"/a/1.wav", "/b/6.wav", "/b/5.wav", "/b/4.wav", "/a/3.ogg"}));
}

TEST_F(RecentFilesTest, PathsAreKeptAbsoluteAndPlain) {
    char here[4096];
    ASSERT_NE(::getcwd(here, sizeof here), nullptr);
    RememberRecentFile("take.wav");
    RememberRecentFile("/x/./y/../take 2.wav");
    EXPECT_EQ(RecentFiles(), (Paths{"/x/take 2.wav", std::string(here) + "/take.wav"}));
    // The same file named another way is one entry.
    RememberRecentFile("/x/take 2.wav");
    EXPECT_EQ(RecentFiles().size(), 2u);
}

TEST_F(RecentFilesTest, APathTheFileCouldNotGiveBackIsNotKept) {
    RememberRecentFile("/a/kept.wav");
    EXPECT_FALSE(RememberRecentFile("/a/" + std::string(300, 'x') + ".wav"));  // longer than a value may be
    EXPECT_FALSE(RememberRecentFile("/a/two\nlines.wav"));
    EXPECT_FALSE(RememberRecentFile("/a/trailing blank.wav "));
    EXPECT_FALSE(RememberRecentFile(""));
    EXPECT_TRUE(RememberRecentFile("/a/" + std::string(240, 'y') + ".wav"));  // 247 bytes fit
    EXPECT_EQ(RecentFiles().size(), 2u);
    EXPECT_EQ(RecentFiles()[1], "/a/kept.wav");
}

TEST_F(RecentFilesTest, BlanksAndRepeatsInTheFileCloseUp) {
    dl_test::write_file(dir_ + "/dewlark.INI",
                        "[dewlark]\nRecent1=/a/1.wav\nRecent2=\nRecent3=/a/2.wav\nRecent4=/a/1.wav\nRecent5=/a/3.wav\n");
    dl::load_settings();
    EXPECT_EQ(RecentFiles(), (Paths{"/a/1.wav", "/a/2.wav", "/a/3.wav"}));
    RememberRecentFile("/a/4.wav");
    EXPECT_EQ(Settings.Recent1, "/a/4.wav");
    EXPECT_EQ(Settings.Recent4, "/a/3.wav");
    EXPECT_EQ(Settings.Recent5, "");
}

TEST_F(RecentFilesTest, FilesThatNoLongerExistLeaveTheList) {
    const std::string a = file("a.wav"), b = file("b.mp3"), c = file("c.ogg");
    for (const std::string& p : {a, b, c}) RememberRecentFile(p);
    ASSERT_EQ(::unlink(b.c_str()), 0);
    RememberRecentFile(dir_);  // a folder is not a file to open
    EXPECT_EQ(dl::ForgetMissingRecentFiles(), (Paths{dir_, b}));
    EXPECT_EQ(RecentFiles(), (Paths{c, a}));
    EXPECT_TRUE(dl::ForgetMissingRecentFiles().empty());
    EXPECT_TRUE(dl::ForgetRecentFile(c));
    EXPECT_FALSE(dl::ForgetRecentFile(c));
    EXPECT_EQ(RecentFiles(), (Paths{a}));
    EXPECT_EQ(Settings.Recent2, "");
}

TEST_F(RecentFilesTest, TheListAndTheFolderSurviveARestartAsKeysAfterTheOthers) {
    const std::string blanks = dl_test::write_file(dir_ + "/a & b (1).wav", "RIFF");
    const std::string japanese = file("声の録音.ogg");
    for (const char* name : {"/m/1.wav", "/m/2.wav", "/m/3.wav", "/m/4.wav"}) RememberRecentFile(name);
    RememberRecentFile(blanks);
    RememberRecentFile(japanese);
    Settings.OpenFolder = dir_;
    const Paths before = RecentFiles();
    ASSERT_EQ(before, (Paths{japanese, blanks, "/m/4.wav", "/m/3.wav", "/m/2.wav"}));
    ASSERT_EQ(dl::save_settings(), dl::ProfileWrite::Written);

    Settings = dl::SettingsRecord{};
    dl::load_settings();
    EXPECT_EQ(RecentFiles(), before);
    EXPECT_EQ(Settings.OpenFolder, dir_);
    const std::string text = dl_test::read_file(dir_ + "/dewlark.INI");
    const size_t devices = text.find("OutputDevice="), first = text.find("Recent1="), folder = text.find("OpenFolder=");
    ASSERT_NE(devices, std::string::npos);
    EXPECT_LT(devices, first);
    EXPECT_LT(text.find("Recent5=/m/2.wav\n"), folder);
    EXPECT_NE(text.find("Recent2=" + blanks + "\n"), std::string::npos);
    // At the next start the files that are gone leave the list.
    EXPECT_EQ(dl::ForgetMissingRecentFiles(), (Paths{"/m/4.wav", "/m/3.wav", "/m/2.wav"}));
    EXPECT_EQ(RecentFiles(), (Paths{japanese, blanks}));
}

}  // namespace
