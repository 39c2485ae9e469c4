// SIGTERM and SIGINT end the window as File › Exit does: its changed settings are written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "support/test_support.h"

namespace {

// The window started on its own settings folder with a switch that changes a setting, ended by
// `sig` once it has had time to come up: its exit status (-1: killed, or still running after 30 s).
int status_after_signal(const std::string& profile, const std::string& switch_token, int sig) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("USERPROFILE", profile.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        std::string binary = DEWLARK_BINARY, token = switch_token;
        char* argv[] = {binary.data(), token.data(), nullptr};
        execv(argv[0], argv);
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    kill(pid, sig);
    int st = 0;
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, &st, WNOHANG) == pid) return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &st, 0);
    return -1;
}

TEST(EndSignals, TermAndInterruptEndTheWindowWithItsSettingsSaved) {
    struct Case {
        int sig;
        const char* token;
        const char* key;
        const char* value;
    } cases[] = {{SIGTERM, "/M", "channel", "1"}, {SIGINT, "/O", "bits", "8"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sig == SIGTERM ? "SIGTERM" : "SIGINT");
        const std::string profile = dl_test::temp_dir();
        EXPECT_EQ(status_after_signal(profile, c.token, c.sig), 0);
        const std::string ini = profile + "/dewlark.INI";
        EXPECT_EQ(dl::get_profile_string("dewlark", c.key, "(not saved)", 32, ini), c.value);
        EXPECT_EQ(dl::get_profile_string("dewlark", "fftparam", "(not saved)", 32, ini), "12");
    }
}

// A box the window shows while it starts (here: kept references it cannot read) does not hold a
// signal back: the box is closed and the window ends.
TEST(EndSignals, TermEndsTheWindowAlsoWhileAStartUpBoxShows) {
    const std::string profile = dl_test::temp_dir();
    dl_test::write_file(profile + "/dewlark-references.csv", "not a spectrum\n");
    EXPECT_EQ(status_after_signal(profile, "/M", SIGTERM), 0);
    EXPECT_EQ(dl::get_profile_string("dewlark", "channel", "(not saved)", 32, profile + "/dewlark.INI"), "1");
}

}  // namespace
