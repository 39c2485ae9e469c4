// The record port from the window: the initial source, the Monitor command, Start and Stop,
// the device menus, and the batch commands that monitor and list devices.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "app_fixture.h"
#include "state/run.h"
#include "support/dialog_driver.h"
#include "support/fake_clock.h"
#include "app/batch_monitor.h"
#include "app/main_window_proc.h"
#include "audio/playback_fixture.h"
#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "resources/command_ids.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace {

using dl::Settings;
using dl_test::AppTest;

TEST_F(AppTest, SlashPWithoutAFileStartsMonitoringAndStopEndsIt) {
    dl::MainWindow& w = start({"/P", "/M", "/O", "/8"});
    ASSERT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort);
    ASSERT_TRUE(dl::SourceState.running);
    // The record switches set the format monitored.
    EXPECT_EQ(dl::SourceInfo.sample_rate, 8000u);
    EXPECT_EQ(dl::SourceInfo.ChannelLayout, 0);  // mono 8-bit
    EXPECT_EQ(w.button_text(dl::kPlayButton), "Start");
    EXPECT_FALSE(w.button_enabled(dl::kPlayButton));
    EXPECT_TRUE(w.button_enabled(dl::kStopButton));
    EXPECT_FALSE(w.menu_enabled(dl::kCmdMonitor));
    QTest::qWait(100);
    dl::DispatchCommand(dl::kCmdStop, 0);
    // The monitor ends with the first buffer the device gives back.
    EXPECT_TRUE(QTest::qWaitFor([] { return !dl::SourceState.running; }, dl_test::kPatienceMs));
    EXPECT_EQ(dl::WaveInDevice, nullptr);
    EXPECT_TRUE(w.button_enabled(dl::kPlayButton));
    EXPECT_EQ(w.button_text(dl::kPlayButton), "Start");
    EXPECT_TRUE(w.menu_enabled(dl::kCmdMonitor));
    // Start opens the record port again from the settings.
    dl::DispatchCommand(dl::kCmdStart, 0);
    EXPECT_TRUE(dl::SourceState.running);
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(AppTest, MonitorCommandTurnsFromTheFileToTheRecordPort) {
    const std::string demo = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    dl::MainWindow& w = start({demo});
    EXPECT_EQ(w.title(), "demo.wav - dewlark");
    EXPECT_EQ(w.button_text(dl::kPlayButton), "PLAY");
    dl_test::when_dialog_shows([](dl::Dialog& d) { dl_test::click(d, 1); });
    w.trigger_menu(dl::kCmdMonitor);
    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort);
    EXPECT_TRUE(dl::FileName.empty());
    EXPECT_EQ(w.title(), "dewlark");
    EXPECT_EQ(w.button_text(dl::kPlayButton), "Start");
    EXPECT_TRUE(w.button_enabled(dl::kPlayButton));
    EXPECT_TRUE(w.menu_enabled(dl::kCmdStart));
    EXPECT_TRUE(dl::SourceFormatHeld);
    EXPECT_FALSE(dl::SourceState.running);

    // A cancelled choice gives the file name back; the file stays closed until Start.
    dl::FileName = demo;
    dl::SourceState.mode = dl::SourceMode::File;
    dl_test::when_dialog_shows([](dl::Dialog& d) { dl_test::click(d, 2); });
    w.trigger_menu(dl::kCmdMonitor);
    EXPECT_EQ(dl::FileName, demo);
    EXPECT_EQ(w.title(), "demo.wav - dewlark");
}

TEST_F(AppTest, ClosingTheWindowWhileMonitoringEndsItCleanly) {
    dl::MainWindow& w = start({"/P"});
    ASSERT_TRUE(dl::SourceState.running);
    QTest::qWait(50);
    w.destroy();
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_EQ(dl::WaveInDevice, nullptr);
    QTest::qWait(50);  // completions still on their way are ignored
    EXPECT_TRUE(boxes_.boxes.empty());
}

// Memory mode says "allocating memory" while it prepares its buffer, and the screen shows it: the
// buffer is ready before the event loop runs again.
TEST_F(AppTest, MemoryModeShowsItsStatusUntilTheBufferIsReady) {
    dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\nsex=1\nOnMem=1\nMemSize=2\n");
    dl::MainWindow& w = start();
    ASSERT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort);
    const int X = dl::CellWidth, Y = dl::CellHeight;
    // The status's yellow text where it stands, as the screen showed it.
    auto status_ink = [&] {
        std::vector<std::pair<int, int>> ink;
        for (int x = 39 * X; x < 71 * X; ++x)
            for (int y = 2 * Y; y < 5 * Y; ++y)
                if (w.surface().pixel(x, y) == dl::Rgb{255, 255, 0}) ink.emplace_back(x, y);
        return ink;
    };
    std::vector<std::pair<int, int>> shown;
    w.set_screen_paint_listener([&] {
        if (shown.empty()) shown = status_ink();
    });
    dl::DispatchCommand(dl::kCmdStart, 0);
    w.set_screen_paint_listener(nullptr);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(dl::BufferCount, 1);
    EXPECT_GT(shown.size(), 20u) << "the status reached the screen";
    // Once the buffer is ready the panel is the level meter's again.
    EXPECT_NE(status_ink(), shown);
    dl::DispatchCommand(dl::kCmdStop, 0);
}

TEST_F(AppTest, DeviceMenusListTheDevicesAndTheChoiceSurvivesARestart) {
    dl::MainWindow& w = start();
    const std::vector<std::string> inputs = w.open_submenu(dl::kCmdInputDevice);
    ASSERT_GE(inputs.size(), 2u);
    EXPECT_EQ(inputs[0], "System default");
    EXPECT_EQ(inputs[1], dl::audio_device_names(true)[0]);
    EXPECT_EQ(w.open_submenu(dl::kCmdOutputDevice)[0], "System default");
    w.choose_in_submenu(dl::kCmdInputDevice, 1);
    EXPECT_EQ(Settings.InputDevice, inputs[1]);
    EXPECT_TRUE(Settings.OutputDevice.empty());
    QTimer::singleShot(20, [] { dl::DispatchCommand(dl::kCmdExit, 0); });
    EXPECT_EQ(program_->Run(), 0);
    program_.reset();

    Settings = dl::SettingsRecord{};
    start();
    EXPECT_EQ(Settings.InputDevice, inputs[1]);
    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort);
    EXPECT_TRUE(boxes_.boxes.empty()) << "the device is there: no fallback";
}

TEST_F(AppTest, WithoutAnyInputDeviceTheWindowWaitsIdleAndMonitorIsGray) {
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    dl::MainWindow& w = start();
    EXPECT_EQ(dl::WaveInDeviceCount, 0);
    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::None);
    EXPECT_FALSE(w.menu_enabled(dl::kCmdMonitor));
    EXPECT_FALSE(w.button_enabled(dl::kPlayButton));
    EXPECT_EQ(w.button_text(dl::kPlayButton), "PLAY");
    EXPECT_FALSE(w.accepts_drops());  // no output device either
    w.destroy();
    program_.reset();
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

// The batch commands, run as the user runs them.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string l; std::getline(s, l);) out.push_back(l);
    return out;
}

std::string disk_input(const std::string& samples) {
    const std::string path = dl_test::write_file("input.raw", samples);
    return "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIOFILEIN=" + path + " ";
}

TEST(BatchMonitor, ListsTheDevicesOfTheSoundSystem) {
    for (const char* driver : {"dummy", "disk"}) {
        const dl_test::ProgramRun r = dl_test::run_program_env(std::string("SDL_AUDIODRIVER=") + driver, "--list-devices");
        EXPECT_EQ(r.status, 0);
        const std::vector<std::string> l = lines(r.out);
        ASSERT_EQ(l.size(), 2u) << r.out;
        EXPECT_EQ(l[0].rfind("out: ", 0), 0u);
        EXPECT_EQ(l[1].rfind("in: ", 0), 0u);
    }
}

// The monitor runs in this process, on a clock that follows the sound it records.
TEST(BatchMonitor, MonitorsTheInputLikeTheSameSamplesFromAFile) {
    const std::string tone = play_test::tones(11025, {440.0}, 3.0);
    const std::string wav = dl_test::write_file("tone.wav", dl_test::pcm_wav(1, 11025, 16, tone));
    const dl_test::ProgramRun file = dl_test::run_program("--analyse " + wav);
    ASSERT_EQ(file.status, 0) << file.err;
    const std::string input = dl_test::write_file("input.raw", tone);
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    int status = -1;
    testing::internal::CaptureStdout();
    {
        dl_test::FakeClock clock(dl_test::recorded_ms);
        status = dl::RunMonitorCommand(
            {"--monitor", "--seconds", "0.8", "--set", "freq=11025", "--set", "channel=1", "--set", "bits=16"});
    }
    const std::string rows = testing::internal::GetCapturedStdout();
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const char* name : {"SDL_DISKAUDIOFILE", "SDL_DISKAUDIOFILEIN", "SDL_DISKAUDIODELAY"}) unsetenv(name);
    ASSERT_EQ(status, 0);
    const std::vector<std::string> a = lines(file.out), b = lines(rows);
    ASSERT_EQ(b.size(), 6u) << "0.8 s of sound: five slices of 0.186 s";
    EXPECT_EQ(b[0], "time,peak_hz,level,a4,labels,f0_hz,f0_note,f0_cents,f0_confidence,lufs_m,lufs_s,f0_inharmonicity");
    for (size_t i = 1; i < b.size(); ++i) EXPECT_EQ(b[i], a[i]) << "row " << i;
}

// Row times as printed, and the lines of standard error that tell of the input's gaps.
std::vector<double> row_times(const std::string& out) {
    std::vector<double> t;
    const std::vector<std::string> l = lines(out);
    for (size_t i = 1; i < l.size(); ++i) t.push_back(std::stod(l[i].substr(0, l[i].find(','))));
    return t;
}
std::vector<std::string> gap_lines(const std::string& err) {
    std::vector<std::string> g;
    for (const std::string& l : lines(err))
        if (l.rfind("input: ", 0) == 0) g.push_back(l);
    return g;
}

// --seconds is sound, not the clock: an input delivered in real time and one delivered as fast as
// the machine reads a file both give the rows of exactly two seconds of sound, from its start.
TEST(BatchMonitor, SecondsCountTheSoundAnalysedNotTheTimeThatPassed) {
    const std::string tone = play_test::tones(11025, {440.0}, 4.0);
    for (bool real_time : {true, false}) {
        SCOPED_TRACE(real_time ? "real time" : "faster than real time");
        const dl_test::ProgramRun r = dl_test::run_program_env(
            real_time ? "unset SDL_DISKAUDIODELAY; " + disk_input(tone) : disk_input(tone) + "SDL_DISKAUDIODELAY=0",
            "--monitor --seconds 2 --set freq=11025 --set channel=1 --set bits=16");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<double> t = row_times(r.out);
        ASSERT_EQ(t.size(), 11u) << "slices of 0.186 s beginning before 2 s: " << r.out;
        for (size_t k = 0; k < t.size(); ++k) EXPECT_NEAR(t[k], k * 4096.0 / 22050, 0.0006) << "row " << k;
        EXPECT_TRUE(gap_lines(r.err).empty()) << r.err;
    }
}

// The program monitoring `sound` (11025 Hz mono 16-bit) from a named pipe the test fills, into a
// pipe of one page that nobody reads until the whole sound has gone in: the analysis stands still at
// its first rows while the input runs on to the end of the sound, whatever the machine's speed.
dl_test::ProgramRun monitor_behind_a_full_pipe(const std::string& sound, const std::string& seconds) {
    dl_test::ProgramRun r;
    const std::string input = dl_test::temp_dir() + "/input.fifo", err = dl_test::temp_dir() + "/monitor.err";
    unlink(input.c_str());
    int out[2];
    if (mkfifo(input.c_str(), 0600) != 0 || pipe2(out, O_CLOEXEC) != 0) return r;
    fcntl(out[0], F_SETPIPE_SZ, 4096);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        if (freopen(err.c_str(), "w", stderr) == nullptr) _exit(127);
        execl(DEWLARK_BINARY, DEWLARK_BINARY, "--monitor", "--seconds", seconds.c_str(), "--set", "freq=11025", "--set",
              "channel=1", "--set", "bits=16", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    // The program opens its input once to try it and again to record: what the pipe holds waits for
    // the second reader. A pipe of one page: when the last write returns, all but a page was read.
    const sighandler_t old_pipe = signal(SIGPIPE, SIG_IGN);
    int fifo = -1;
    for (int waited = 0; fifo < 0 && waited < dl_test::kPatienceMs; waited += 1) {
        fifo = open(input.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fifo < 0) usleep(1000);
    }
    if (fifo >= 0) {
        fcntl(fifo, F_SETFL, 0);
        fcntl(fifo, F_SETPIPE_SZ, 4096);
        size_t sent = 0;
        for (int waited = 0; sent < sound.size() && waited < dl_test::kPatienceMs;) {
            const ssize_t n = write(fifo, sound.data() + sent, sound.size() - sent);
            if (n > 0) {
                sent += size_t(n);
            } else {
                usleep(1000);  // no reader between the two opens
                waited += 1;
            }
        }
        close(fifo);
    }
    signal(SIGPIPE, old_pipe);
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) r.out.append(buf, size_t(n));
    close(out[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.status = WEXITSTATUS(status);
    r.err = dl_test::read_file(err);
    return r;
}

// An input that comes faster than the analysis can take it: the ring keeps many seconds, what it
// cannot hold is said with its length, and each row's time is the sound's: the recorded sound
// before it and every gap said before it.
TEST(BatchMonitor, WhatTheAnalysisCannotKeepUpWithIsSaidAndRowsKeepTheTimeOfTheirSound) {
    // A tone a second, 300 Hz up in steps of 50 Hz. A minute: more than the ring and the rows the
    // output pipe takes before the analysis stands still can hold together, however fast the
    // analysis was until then.
    std::string staircase;
    for (int s = 0; s < 60; ++s) staircase += play_test::tones(11025, {300.0 + 50 * s}, 1.0);
    const dl_test::ProgramRun r = monitor_behind_a_full_pipe(staircase, "60");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<double> t = row_times(r.out);
    ASSERT_EQ(t.size(), 323u) << "60 s of sound in slices of 0.186 s";
    const std::vector<std::string> said = gap_lines(r.err);
    ASSERT_GE(said.size(), 2u) << "a gap and the sum: " << r.err;
    // Each gap: its length and where it begins, on the sound's time.
    std::vector<std::pair<double, double>> gaps;
    for (size_t i = 0; i + 1 < said.size(); ++i) {
        double length = 0, at = 0;
        ASSERT_EQ(std::sscanf(said[i].c_str(), "input: %lf s of sound dropped at %lf s", &length, &at), 2) << said[i];
        EXPECT_NE(said[i].find("the analysis fell too far behind"), std::string::npos);
        gaps.emplace_back(at, length);
    }
    EXPECT_NE(said.back().find(" gaps, "), std::string::npos) << said.back();
    EXPECT_GT(gaps[0].first, 16.0) << "the ring held at least sixteen seconds";
    const std::vector<std::string> rows = lines(r.out);
    for (size_t k = 0; k < t.size(); ++k) {
        double lost = 0;
        for (const auto& [at, length] : gaps)
            if (at <= t[k] + 0.0005) lost += length;
        EXPECT_NEAR(t[k], k * 4096.0 / 22050 + lost, 0.002) << "row " << k;
        // Before the first gap the rows show the step sounding at their time.
        const double within = t[k] - std::floor(t[k]);
        if (t[k] < gaps[0].first - 0.2 && within > 0.3 && within < 0.75) {
            const double peak = std::stod(rows[k + 1].substr(rows[k + 1].find(',') + 1));
            EXPECT_NEAR(peak, 300.0 + 50 * std::floor(t[k]), 8.0) << rows[k + 1];
        }
    }
}

TEST(BatchMonitor, SigtermEndsItCleanlyWithTheRowsSoFar) {
    const std::string env = disk_input(play_test::tones(11025, {440.0}, 5.0));
    const std::string out = dl_test::temp_dir() + "/rows.csv";
    const std::string cmd = env + "exec " + std::string(DEWLARK_BINARY) +
                            " --monitor --defaults --set freq=11025 --set channel=1 > " + out + " 2>/dev/null";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Signalled once it has written some rows, whenever that is.
    for (int waited = 0; lines(dl_test::read_file(out)).size() < 4 && waited < dl_test::kPatienceMs; waited += 20)
        usleep(20 * 1000);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::vector<std::string> rows = lines(dl_test::read_file(out));
    ASSERT_GE(rows.size(), 4u) << "the rows so far: the header and three slices";
    EXPECT_EQ(rows[1].substr(0, 10), "0.000,440.") << "the tone from the first slice on";
}

TEST(BatchMonitor, RefusalsGoToStandardErrorWithStatusOne) {
    dl_test::ProgramRun r = dl_test::run_program_env("SDL_AUDIODRIVER=dummy", "--monitor --device 'No Such Mic' --seconds 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no input device named \"No Such Mic\""), std::string::npos) << r.err;
    r = dl_test::run_program_env("SDL_AUDIODRIVER=no-such-driver", "--monitor --seconds 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no input device"), std::string::npos);
    r = dl_test::run_program_env("SDL_AUDIODRIVER=dummy", "--monitor --seconds x");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--seconds expects a number"), std::string::npos);
    r = dl_test::run_program_env("SDL_AUDIODRIVER=dummy", "--monitor --set freq=500 --seconds 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No support this format"), std::string::npos);
}

}  // namespace
