// The settings file as the user keeps it: its permissions, links and size, and the record format the
// user chose rather than the one fitted to the input device.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
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
    // Runs `body` in a child process with its standard error in a file and (plain builds) at most
    // 512 MB of address space: its exit status (-1 when it was killed after `seconds` or by a
    // signal) and what it said.
    struct ChildRun {
        int status = -1;
        std::string err;
    };
    ChildRun in_child(const std::function<int()>& body, int seconds = dl_test::kPatienceMs / 1000) const {
        const std::string err = dir_ + "/child.err";
        std::fflush(stderr);
        const pid_t pid = fork();
        if (pid == 0) {
            const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || dup2(fd, 2) < 0) _exit(126);
#if !defined(__SANITIZE_ADDRESS__)
            // A sanitizer maps terabytes of shadow: only a plain build can be held to this.
            const struct rlimit memory = {512u << 20, 512u << 20};
            setrlimit(RLIMIT_AS, &memory);
#endif
            const int status = body();
            std::fflush(stderr);
            _exit(status);
        }
        ChildRun r;
        int st = 0;
        for (int waited = 0; waited < seconds * 100; ++waited) {
            if (waitpid(pid, &st, WNOHANG) == pid) {
                r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
                r.err = dl_test::read_file(err);
                return r;
            }
            usleep(10000);
        }
        kill(pid, SIGKILL);
        waitpid(pid, &st, 0);
        r.err = dl_test::read_file(err);
        return r;
    }
    // In the child: the settings are the defaults, and saving leaves the file alone.
    static int loads_defaults_and_saves_nothing() {
        dl::load_settings();
        const bool defaults = Settings.sex == 0 && Settings.fftparam == 12 && Settings.MemSize == 15;
        Settings.sex = 2;
        const dl::ProfileWrite w = dl::save_settings();
        return defaults && w != dl::ProfileWrite::Written ? 0 : 1;
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

    // A name that is a folder is left as it is, and said so in one line.
    const std::string blocked = dl_test::temp_dir();
    ASSERT_EQ(::mkdir((blocked + "/dewlark.INI").c_str(), 0755), 0);
    setenv("USERPROFILE", blocked.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dl::save_settings(), dl::ProfileWrite::NotRegular);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "dewlark: settings not saved: " + blocked + "/dewlark.INI is not a regular file\n");
    // A write that fails (the folder is gone) also says so in one line, naming the file.
    setenv("USERPROFILE", (blocked + "/gone").c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dl::save_settings(), dl::ProfileWrite::Failed);
    const std::string failed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed, "dewlark: settings not saved: cannot write " + blocked + "/gone/dewlark.INI: No such file or directory\n");

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

TEST_F(SettingsFileTest, AFifoIsNotWaitedOnAndADeviceIsNeitherReadNorReplaced) {
    // A FIFO by the name: every start would wait for a writer for ever.
    ASSERT_EQ(::mkfifo(ini().c_str(), 0644), 0);
    ChildRun r = in_child(loads_defaults_and_saves_nothing);
    EXPECT_EQ(r.status, 0) << "a start that waits or reads wrong";
    EXPECT_EQ(r.err, "dewlark: settings: " + ini() + " is not a regular file; starting on defaults\n"
                     "dewlark: settings not saved: " + ini() + " is not a regular file\n");
    struct stat st {};
    ASSERT_EQ(::lstat(ini().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ::unlink(ini().c_str());

    // A link to a device node, one that reads as nothing and one that never ends.
    for (const dev_t device : {makedev(1, 3), makedev(1, 5)}) {
        const std::string node = dir_ + "/node";
        ::unlink(node.c_str());
        if (::mknod(node.c_str(), S_IFCHR | 0666, device) != 0) GTEST_SKIP() << "mknod: " << std::strerror(errno);
        ::unlink(ini().c_str());
        ASSERT_EQ(::symlink("node", ini().c_str()), 0);
        r = in_child(loads_defaults_and_saves_nothing);
        EXPECT_EQ(r.status, 0) << major(device) << "," << minor(device);
        EXPECT_EQ(r.err.rfind("dewlark: settings: " + ini() + " is not a regular file; starting on defaults\n", 0), 0u)
            << r.err;
        ASSERT_EQ(::stat(node.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the node was replaced";
        EXPECT_EQ(st.st_rdev, device);
        EXPECT_TRUE(is_link(ini()));
    }
}

TEST_F(SettingsFileTest, AFileFarLargerThanSettingsIsLeftAsItIs) {
    dl_test::write_file(ini(), "[dewlark]\nsex=1\n");
    ASSERT_EQ(::truncate(ini().c_str(), off_t(dl::kProfileFileLimit) + 1), 0);
    const ChildRun r = in_child(loads_defaults_and_saves_nothing);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "dewlark: settings: " + ini() + " is larger than 16 MB; starting on defaults\n"
                     "dewlark: settings not saved: " + ini() + " is larger than 16 MB\n");
    struct stat st {};
    ASSERT_EQ(::stat(ini().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t(dl::kProfileFileLimit) + 1);
    EXPECT_EQ(dl_test::read_file(ini()).substr(0, 16), "[dewlark]\nsex=1\n");

    // Up to the limit it is a settings file like any other.
    ASSERT_EQ(::truncate(ini().c_str(), off_t(dl::kProfileFileLimit)), 0);
    testing::internal::CaptureStderr();
    dl::load_settings();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(Settings.sex, 1);
}

TEST_F(SettingsFileTest, CorrectionsAreToldToWhoAsksAndTheWindowsLoadIsQuiet) {
    dl_test::write_file(ini(), "[dewlark]\nfftparam=40\ndisplay=5\nMemSize=1000\nbits=12\ndeltatime=x\nmado=3\n");
    std::vector<std::string> told;
    dl::load_settings(&told);
    EXPECT_EQ(told, (std::vector<std::string>{"deltatime=0 is out of range, using 32",
                                              "MemSize=1000 is out of range, using 255",
                                              "bits=12 is out of range, using 16",
                                              "display=5 is out of range, using 109",
                                              "fftparam=40 is out of range, using 16"}));
    EXPECT_EQ(Settings.fftparam, 16);
    EXPECT_EQ(Settings.mado, 3);
    testing::internal::CaptureStderr();
    dl::load_settings();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(Settings.fftparam, 16);
    // A value given for one run is told the same way; one in range is not.
    told.clear();
    EXPECT_TRUE(dl::set_setting_from_text("freqnum", "5000", &told));
    EXPECT_TRUE(dl::set_setting_from_text("freqnum", "12", &told));
    EXPECT_EQ(told, std::vector<std::string>{"freqnum=5000 is out of range, using 999"});
    EXPECT_EQ(Settings.freqnum, 12);
}

}  // namespace
