#pragma once
// A PulseAudio server of the test's own: a private runtime folder, a null sink and a null source, its
// socket in the environment while it runs. The test's SDL talks to it through the pulseaudio driver.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/audio_system.h"
#include "support/test_support.h"

namespace dl_test {

class SoundServer {
public:
    // False when there is no pulseaudio to start (the test skips) or it did not come up.
    bool start() {
        if (dir_.empty()) dir_ = temp_dir();
        if (run_shell("command -v pulseaudio >/dev/null && command -v pactl >/dev/null").status != 0) return false;
        socket_ = dir_ + "/pulse.sock";
        ::mkdir((dir_ + "/run").c_str(), 0700);
        ::mkdir((dir_ + "/home").c_str(), 0700);
        // The server's own environment: the test's, with the private folders.
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("HOME=", 0) != 0 && v.rfind("XDG_RUNTIME_DIR=", 0) != 0) env.push_back(v);
        }
        env.push_back("HOME=" + dir_ + "/home");
        env.push_back("XDG_RUNTIME_DIR=" + dir_ + "/run");
        const std::string native = "module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1";
        std::vector<std::string> args = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                         "--use-pid-file=no", "--log-target=stderr", "--log-level=error",
                                         "-L", native, "-L", "module-null-sink sink_name=speakers",
                                         "-L", "module-null-source source_name=microphone"};
        std::vector<char*> argv, envp;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawnp(&pid_, "pulseaudio", nullptr, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        if (pid_ < 0) return false;
        for (int waited = 0; waited < 5000; waited += 20) {
            if (pactl("info").status == 0) {
                dl::audio_quit();
                setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
                setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
                return true;
            }
            QTest::qWait(20);
        }
        stop();
        return false;
    }
    // Ends the server (as a crash or a restart would, without goodbye); the driver stays pulseaudio.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Ends the server and gives the tests their dummy driver back.
    void stop() {
        kill();
        dl::audio_quit();
        unsetenv("PULSE_SERVER");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    ~SoundServer() {
        if (pid_ > 0) stop();
    }
    ProgramRun pactl(const std::string& args) const {
        return run_shell("PULSE_SERVER=unix:" + socket_ + " pactl " + args);
    }
    // The streams that play into the server now.
    int playing_streams() const {
        const ProgramRun r = pactl("list short sink-inputs");
        int n = 0;
        for (char c : r.out) n += c == '\n';
        return n;
    }

private:
    std::string dir_, socket_;
    pid_t pid_ = -1;
};

}  // namespace dl_test
