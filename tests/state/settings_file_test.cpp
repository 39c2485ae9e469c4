// The settings file as the user keeps it: its permissions, links and size, and the record format the
// user chose rather than the one fitted to the input device.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "platform/profile.h"
#include "state/reset.h"
#include "state/settings.h"
#include "support/test_support.h"

namespace {

using dl::Settings;

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = dl_test::use_temporary_profile();
        dl::ResetProcessState();
    }
    void TearDown() override { dl::ResetProcessState(); }
    std::string ini() const { return dir_ + "/dewlark.INI"; }
    static mode_t mode_of(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    static bool is_link(const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    }
    static std::string value_in(const std::string& path, const std::string& key) {
        return dl::get_profile_string("dewlark", key, "(none)", 32, path);
    }
    std::string dir_;
};

TEST_F(SettingsFileTest, AReadOnlyOrUnwritableFileIsLeftWholeAndSaidSoOnce) {
    const std::string text = "; kept as it is\n[dewlark]\nsex=1\nfreq=22050\n";
    dl_test::write_file(ini(), text);
    ASSERT_EQ(::chmod(ini().c_str(), 0444), 0);
    dl::load_settings();
    Settings.sex = 2;
    Settings.freq = 44100;
    testing::internal::CaptureStderr();
    EXPECT_EQ(dl::save_settings(), dl::ProfileWrite::ReadOnly);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(dl_test::read_file(ini()), text);
    EXPECT_EQ(mode_of(ini()), 0444u);
    EXPECT_EQ(err, "dewlark: settings not saved: " + ini() + " is read-only\n");

    // A write that fails (the path is a folder) also says so in one line, naming the file.
    const std::string blocked = dl_test::temp_dir();
    ASSERT_EQ(::mkdir((blocked + "/dewlark.INI").c_str(), 0755), 0);
    setenv("USERPROFILE", blocked.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dl::save_settings(), dl::ProfileWrite::Failed);
    const std::string failed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed.rfind("dewlark: settings not saved: cannot write " + blocked + "/dewlark.INI: ", 0), 0u) << failed;
    EXPECT_EQ(std::count(failed.begin(), failed.end(), '\n'), 1);

    // A file written as it should be says nothing.
    setenv("USERPROFILE", dir_.c_str(), 1);
    ASSERT_EQ(::chmod(ini().c_str(), 0644), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dl::save_settings(), dl::ProfileWrite::Written);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(value_in(ini(), "sex"), "2");
}

TEST_F(SettingsFileTest, SavingKeepsAPrivateFilePrivate) {
    dl_test::write_file(ini(), "[dewlark]\nsex=1\n");
    ASSERT_EQ(::chmod(ini().c_str(), 0600), 0);
    dl::load_settings();
    Settings.sex = 2;
    EXPECT_EQ(dl::save_settings(), dl::ProfileWrite::Written);
    EXPECT_EQ(mode_of(ini()), 0600u);
    EXPECT_EQ(value_in(ini(), "sex"), "2");
}

TEST_F(SettingsFileTest, ALinkedFileStaysLinkedAndItsTargetIsSaved) {
    // The settings kept elsewhere (a dotfiles folder), linked absolutely and then relatively.
    const std::string store = dir_ + "/dotfiles";
    ASSERT_EQ(::mkdir(store.c_str(), 0755), 0);
    const std::string target = dl_test::write_file(store + "/dewlark.INI", "[dewlark]\nsex=1\n");
    int sex = 2;
    for (const std::string& link_text : {target, std::string("dotfiles/dewlark.INI")}) {
        ::unlink(ini().c_str());
        ASSERT_EQ(::symlink(link_text.c_str(), ini().c_str()), 0);
        dl::load_settings();
        EXPECT_EQ(Settings.sex, sex - 1) << link_text;
        Settings.sex = sex;
        EXPECT_EQ(dl::save_settings(), dl::ProfileWrite::Written) << link_text;
        EXPECT_TRUE(is_link(ini())) << link_text;
        EXPECT_EQ(value_in(target, "sex"), std::to_string(sex)) << link_text;
        ++sex;
    }
}

TEST_F(SettingsFileTest, AFormatFittedToTheInputDeviceIsUsedButNotSaved) {
    dl_test::write_file(ini(), "[dewlark]\nbits=16\nchannel=2\nfreq=44100\n");
    dl::load_settings();
    // A start without an input device.
    dl::fit_record_settings(0);
    EXPECT_EQ(Settings.bits, 8);
    EXPECT_EQ(Settings.channel, 1);
    EXPECT_EQ(Settings.freq, 11025u);
    EXPECT_EQ(dl::save_settings(), dl::ProfileWrite::Written);
    EXPECT_EQ(value_in(ini(), "bits"), "16");
    EXPECT_EQ(value_in(ini(), "channel"), "2");
    EXPECT_EQ(value_in(ini(), "freq"), "44100");
    EXPECT_EQ(Settings.bits, 8);  // the run goes on with what the device can do
    EXPECT_EQ(Settings.freq, 11025u);

    // The next start reads the user's values back; a device without 44.1 kHz only steps the rate down.
    dl::load_settings();
    EXPECT_FALSE(dl::ChosenRecordFormat.has_value());
    dl::fit_record_settings(0x0FF);
    EXPECT_EQ(Settings.freq, 22050u);
    EXPECT_EQ(Settings.bits, 16);
    dl::save_settings();
    EXPECT_EQ(value_in(ini(), "freq"), "44100");

    // Fitted twice: the values before the second fit were fitted already, the first record stands.
    dl::fit_record_settings(0);
    EXPECT_EQ(Settings.freq, 11025u);
    EXPECT_EQ(Settings.bits, 8);
    dl::save_settings();
    EXPECT_EQ(value_in(ini(), "bits"), "16");
    EXPECT_EQ(value_in(ini(), "freq"), "44100");

    // A device that does everything fits nothing and records nothing.
    dl::load_settings();
    dl::fit_record_settings(0xFFF);
    EXPECT_FALSE(dl::ChosenRecordFormat.has_value());
    EXPECT_EQ(Settings.freq, 44100u);
}

TEST_F(SettingsFileTest, LoadingReadsTheFileOnceHoweverLargeItIs) {
    // 10 MB of other sections, comments and unknown keys around the program's own section, with a
    // second [dewlark] section at the end whose values must not win over the first.
    std::ostringstream big;
    const std::string filler(100, 'x');
    for (int i = 0; i < 40000; ++i) big << "; " << filler << "\n";
    for (int i = 0; i < 20000; ++i) big << "[other" << i << "]\nsex=9\nfreq=8000\n" << filler << "=" << i << "\n";
    big << "[DEWLARK]\nsex=1\nfreq=44100\nmado=3\n";
    for (int i = 0; i < 20000; ++i) big << "unknown" << i << "=" << filler << "\n";
    big << "[tail]\n";
    for (int i = 0; i < 30000; ++i) big << "; " << filler << "\n";
    big << "[dewlark]\nsex=2\ndeltatime=512\n";
    dl_test::write_file(ini(), big.str());
    ASSERT_GT(big.str().size(), 10u << 20);

    const int before = dl::profile_file_reads();
    dl::load_settings();
    EXPECT_EQ(dl::profile_file_reads() - before, 1);
    EXPECT_EQ(Settings.sex, 1);
    EXPECT_EQ(Settings.freq, 44100u);
    EXPECT_EQ(Settings.mado, 3);
    EXPECT_EQ(Settings.deltatime, 512u);  // a key only the later section holds
    EXPECT_EQ(Settings.fftparam, 12);     // and one no section holds

    // A small file holding every key is read once too.
    dl_test::write_file(ini(), "[dewlark]\nsex=1\n");
    dl::save_settings();
    const int small = dl::profile_file_reads();
    dl::load_settings();
    EXPECT_EQ(dl::profile_file_reads() - small, 1);
    EXPECT_EQ(Settings.sex, 1);
}

}  // namespace
