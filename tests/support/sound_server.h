#pragma once
// A sound server of the test's own: a private runtime folder, a null sink "Speakers" (and, for
// PulseAudio, a null source), its socket in the environment while it runs. PulseAudio, or PipeWire
// with its session manager and its PulseAudio server (under a private bus of their own); the program
// talks to either over the PulseAudio protocol.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/audio_system.h"
#include "support/test_support.h"

namespace dl_test {

enum class ServerKind { PulseAudio, PipeWire };

class SoundServer {
public:
    explicit SoundServer(ServerKind kind = ServerKind::PulseAudio) : kind_(kind) {}
    const char* name() const { return kind_ == ServerKind::PulseAudio ? "PulseAudio" : "PipeWire"; }
    // Whether the machine has what starting the server takes (the set-up scripts install it).
    bool installed() const {
        return run_shell(kind_ == ServerKind::PulseAudio
                             ? "command -v pulseaudio && command -v pactl && command -v paplay"
                             : "command -v pipewire && command -v wireplumber && command -v pipewire-pulse && "
                               "command -v dbus-run-session && command -v pactl && command -v pw-play")
                   .status == 0;
    }
    // False when the server is not installed (the test skips) or it did not come up.
    bool start() {
        if (dir_.empty()) dir_ = temp_dir();
        if (!installed()) return false;
        if (kind_ == ServerKind::PipeWire) return start_pipewire();
        socket_ = dir_ + "/pulse.sock";
        ::mkdir((dir_ + "/run").c_str(), 0700);
        ::mkdir((dir_ + "/home").c_str(), 0700);
        std::vector<std::string> env = private_environment();
        const std::string native = "module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1";
        std::vector<std::string> args = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                         "--use-pid-file=no", "--log-target=stderr", "--log-level=error",
                                         "-L", native, "-L",
                                         "module-null-sink sink_name=speakers sink_properties=device.description=Speakers",
                                         "-L", "module-null-source source_name=microphone"};
        pid_ = spawn_tied(args, env, dir_ + "/server.log");
        if (pid_ < 0) return false;
        return come_up([] { return true; });
    }
    // Ends the server (as a crash or a restart would, without goodbye); the driver stays pulseaudio.
    void kill() {
        if (pid_ <= 0) return;
        thaw();
        ::kill(kind_ == ServerKind::PipeWire ? -pid_ : pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // The server stops answering (as one that hangs), and answers again.
    void freeze() {
        if (pid_ > 0) ::kill(pid_, SIGSTOP), frozen_ = true;
    }
    void thaw() {
        if (pid_ > 0 && frozen_) ::kill(pid_, SIGCONT);
        frozen_ = false;
    }
    // What a shell command needs in front to talk to the server.
    std::string env() const { return "PULSE_SERVER=unix:" + socket_ + " SDL_AUDIODRIVER=pulseaudio"; }
    // Plays a WAV file into a sink with the server's own client (paplay, pw-play), to its end; false
    // when it did not end within kPatienceMs twice (a player whose stream never starts waits forever;
    // on a loaded machine a PipeWire stream now and then never starts, and the next one does).
    bool play(const std::string& wav, const std::string& sink = "") const {
        const std::string within = "timeout " + std::to_string(kPatienceMs / 1000) + " ";
        const std::string player =
            kind_ == ServerKind::PulseAudio
                ? within + "paplay --latency-msec=20" + (sink.empty() ? std::string() : " -d " + sink)
                : "PIPEWIRE_RUNTIME_DIR=" + dir_ + "/run " + within + "pw-play --latency=20ms" +
                      (sink.empty() ? std::string() : " --target=" + sink);
        const std::string command = env() + " " + player + " '" + wav + "'";
        return run_shell(command).status == 0 || run_shell(command).status == 0;
    }
    // Another null sink ("Headphones", sink name headphones).
    bool add_sink(const std::string& sink, const std::string& description) const {
        if (pactl("load-module module-null-sink sink_name=" + sink + " sink_properties=device.description=" +
                  description)
                .status != 0)
            return false;
        return QTest::qWaitFor([&] { return pactl("list short sinks").out.find(sink) != std::string::npos; },
                               kPatienceMs);
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
        if (kind_ == ServerKind::PipeWire)
            return run_shell("PULSE_SERVER=unix:" + socket_ + " timeout " + std::to_string(kPatienceMs / 1000) +
                             " pactl " + args);
        return run_shell("PULSE_SERVER=unix:" + socket_ + " pactl " + args);
    }
    // The streams that play into the server now.
    int playing_streams() const {
        const ProgramRun r = pactl("list short sink-inputs");
        int n = 0;
        for (char c : r.out) n += c == '\n';
        return n;
    }
    // The sources the streams that record from the server record from, by name ("speakers.monitor").
    std::vector<std::string> recorded_sources() const {
        std::vector<std::pair<std::string, std::string>> sources;  // index, name
        std::istringstream listed(pactl("list short sources").out);
        for (std::string index, name, rest; listed >> index >> name && std::getline(listed, rest);)
            sources.emplace_back(index, name);
        std::vector<std::string> names;
        std::istringstream streams(pactl("list short source-outputs").out);
        for (std::string stream, source, rest; streams >> stream >> source && std::getline(streams, rest);)
            for (const auto& [index, name] : sources)
                if (index == source) names.push_back(name);
        return names;
    }

private:
    // The server's own environment: the test's, with the private folders.
    std::vector<std::string> private_environment() const {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("HOME=", 0) != 0 && v.rfind("XDG_RUNTIME_DIR=", 0) != 0 && v.rfind("PULSE_SERVER=", 0) != 0 &&
                v.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) != 0 && v.rfind("DISPLAY=", 0) != 0)
                env.push_back(v);
        }
        env.push_back("HOME=" + dir_ + "/home");
        env.push_back("XDG_RUNTIME_DIR=" + dir_ + "/run");
        return env;
    }

    // PipeWire, its session manager and its PulseAudio server in one process group, on a bus of their own.
    bool start_pipewire() {
        ::mkdir((dir_ + "/run").c_str(), 0700);
        ::mkdir((dir_ + "/home").c_str(), 0700);
        socket_ = dir_ + "/run/pulse/native";
        std::vector<std::string> env = private_environment();
        std::vector<std::string> args = {
            "dbus-run-session", "--", "sh", "-c",
            // The session manager once PipeWire listens, however long it takes to come up.
            "pipewire >/dev/null 2>&1 & "
            "for i in $(seq 600); do [ -S \"$XDG_RUNTIME_DIR/pipewire-0\" ] && break; sleep 0.05; done; "
            "wireplumber >/dev/null 2>&1 & pipewire-pulse >/dev/null 2>&1 & "
            // The group ends once the bus is gone (the test died and took it along).
            "while kill -0 $PPID 2>/dev/null; do sleep 1; done; kill 0"};
        // The bus's complaints (no fd limit to raise in a container) go to the log too.
        pid_ = spawn_tied(args, env, dir_ + "/server.log", true);
        if (pid_ < 0) return false;
        return come_up([this] {
            if (pactl("load-module module-null-sink sink_name=speakers sink_properties=device.description=Speakers")
                    .status != 0)
                return false;
            // The session manager makes it the default once it is there.
            return QTest::qWaitFor(
                [this] { return pactl("info").out.find("Default Sink: speakers") != std::string::npos; }, kPatienceMs);
        });
    }

    // Waits for the server to answer, then sets it up and points the program at it.
    template <typename SetUp>
    bool come_up(SetUp&& set_up) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (std::chrono::steady_clock::now() < until) {
            if (pactl("info").status == 0) {
                if (!set_up()) break;
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

    ServerKind kind_;
    std::string dir_, socket_;
    pid_t pid_ = -1;
    bool frozen_ = false;
};

}  // namespace dl_test
