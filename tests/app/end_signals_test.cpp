// SIGTERM and SIGINT end the window as File › Exit does: its changed settings are written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "support/test_support.h"

namespace {

// Whether `pid` is the program (no longer the test's fork) and catches SIGINT and SIGTERM: from then
// on either ends it as File > Exit does, at once or as soon as its window's loop runs.
bool catches_end_signals(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    char exe[PATH_MAX] = {};
    char program[PATH_MAX] = {};
    if (readlink((proc + "/exe").c_str(), exe, sizeof exe - 1) <= 0 || !realpath(DEWLARK_BINARY, program) ||
        std::string(exe) != program)
        return false;
    std::istringstream status(dl_test::read_file(proc + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) != 0) continue;
        const unsigned long long caught = std::strtoull(line.c_str() + 7, nullptr, 16);
        const unsigned long long both = (1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1));
        return (caught & both) == both;
    }
    return false;
}

// The window started on its own settings folder with a switch that changes a setting, ended by
// `sig` once it catches it: its exit status (-1: killed, or still running after 30 s).
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
    // Not after a guess at how long starting takes: once it catches the signal, however long that took.
    for (int waited = 0; !catches_end_signals(pid) && waited < dl_test::kPatienceMs; waited += 10) {
        if (int st = 0; waitpid(pid, &st, WNOHANG) == pid) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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
