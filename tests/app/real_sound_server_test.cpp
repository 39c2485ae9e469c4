// The window against a real sound server of the test's own (PulseAudio, null sink and source): what
// the server sees after Stop, a server that goes away during a play, and a check of the input with
// the server gone.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "audio/record_port.h"
#include "platform/wave_device.h"
#include "state/run.h"
#include "platform/system.h"
#include "state/source.h"
#include "support/sound_server.h"

namespace {

using dl_test::AppTest;

const std::string& demo() {
    static const std::string path = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    return path;
}

class RealServer : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        if (!server_.start()) GTEST_SKIP() << "no PulseAudio server to start";
    }
    void TearDown() override {
        AppTest::TearDown();
        server_.stop();
    }
    bool wait_for(const std::function<bool()>& done) { return QTest::qWaitFor(done, dl_test::kPatienceMs); }
    dl_test::SoundServer server_;
};

TEST_F(RealServer, StopClosesTheOutputStream) {
    start({demo()});
    dl::DispatchCommand(dl::kCmdStart, 0);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_TRUE(wait_for([&] { return server_.playing_streams() == 1; })) << "the play reached the server";
    // The desktop's volume control shows the program and its stream by name.
    const std::string inputs = server_.pactl("list sink-inputs").out;
    EXPECT_NE(inputs.find("application.name = \"dewlark\""), std::string::npos) << inputs;
    EXPECT_NE(inputs.find("media.name = \"dewlark\""), std::string::npos) << inputs;
    dl::DispatchCommand(dl::kCmdStop, 0);
    EXPECT_TRUE(wait_for([&] { return server_.playing_streams() == 0; })) << "no stream left open after Stop";
    EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];
}

// In both languages: the play ends with its message, and PLAY is there again.
TEST_F(RealServer, AServerThatGoesAwayEndsThePlayWithItsMessage) {
    for (bool japanese : {false, true}) {
        SCOPED_TRACE(japanese ? "Japanese" : "English");
        if (japanese) {
            ASSERT_TRUE(server_.start());
        }
        dl::MainWindow& w = start({demo()});
        dl::JapaneseUi = japanese;
        boxes_.boxes.clear();
        dl::DispatchCommand(dl::kCmdStart, 0);
        ASSERT_TRUE(dl::SourceState.running);
        ASSERT_TRUE(wait_for([&] { return server_.playing_streams() == 1; }));
        server_.kill();
        EXPECT_TRUE(wait_for([] { return !dl::SourceState.running; })) << "the play ended";
        ASSERT_FALSE(boxes_.boxes.empty());
        EXPECT_EQ(boxes_.boxes.back().text, japanese ? "音声出力デバイスが失われたため、再生を終了しました。"
                                                     : "The sound output device went away; playback has ended.");
        EXPECT_TRUE(w.button_enabled(dl::kPlayButton));
        EXPECT_FALSE(w.button_enabled(dl::kStopButton));
        EXPECT_EQ(dl::WaveOutDevice, nullptr);
        dl::JapaneseUi = false;
        program_->window().destroy();
        program_.reset();
    }
}

// Adds up the program's waits on its clock (its pauses while a server's answer is due) on this
// thread while alive; they still take their time.
class WaitsCounted {
public:
    WaitsCounted() {
        dl::set_clock_hook({nullptr, [this, here = std::this_thread::get_id()](int ms) {
                                if (std::this_thread::get_id() == here) waited_ms += ms;
                                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                            }});
    }
    ~WaitsCounted() { dl::set_clock_hook({}); }
    std::atomic<int> waited_ms{0};
};

// Thaws the server after kPatienceMs unless told first: a program that waited for the frozen server
// for ever comes back then, and the test can say so.
class Thaw {
public:
    explicit Thaw(dl_test::SoundServer& server)
        : thread_([this, &server] {
              std::unique_lock lock(m_);
              if (!told_.wait_for(lock, std::chrono::milliseconds(dl_test::kPatienceMs), [this] { return done_; })) {
                  server.thaw();
                  needed = true;
              }
          }) {}
    ~Thaw() { tell(); }
    // The program came back; joined, so `needed` can be read.
    void tell() {
        {
            std::lock_guard lock(m_);
            done_ = true;
        }
        told_.notify_one();
        if (thread_.joinable()) thread_.join();
    }
    bool needed = false;

private:
    std::mutex m_;
    std::condition_variable told_;
    bool done_ = false;
    std::thread thread_;
};

// A server that stops answering in the middle of a play (as one that hangs) holds neither STOP nor
// the window's end: the program leaves it without waiting for its answer (a glance at the device
// lists aside). What is counted is the time the program chose to wait, not how long the machine took.
TEST_F(RealServer, StopAndExitStayPromptWhileTheServerHangs) {
    for (bool exit_instead : {false, true}) {
        SCOPED_TRACE(exit_instead ? "exit" : "STOP");
        if (exit_instead) {
            ASSERT_TRUE(server_.start());
        }
        start({demo()});
        dl::DispatchCommand(dl::kCmdStart, 0);
        ASSERT_TRUE(dl::SourceState.running);
        ASSERT_TRUE(wait_for([&] { return server_.playing_streams() == 1; }));
        server_.freeze();
        QTest::qWait(300);
        {
            Thaw thaw(server_);
            WaitsCounted counted;
            if (exit_instead) {
                program_->window().destroy();
                program_.reset();
            } else {
                dl::DispatchCommand(dl::kCmdStop, 0);
                EXPECT_FALSE(dl::SourceState.running);
                EXPECT_TRUE(program_->window().button_enabled(dl::kPlayButton));
            }
            thaw.tell();
            EXPECT_FALSE(thaw.needed) << "the program waited for the hanging server until it answered";
            EXPECT_LT(counted.waited_ms, 500) << "the program waited for the hanging server";
        }
        server_.thaw();
        if (!exit_instead) {
            EXPECT_TRUE(wait_for([&] { return server_.playing_streams() == 0; })) << "the stream went with STOP";
            program_->window().destroy();
            program_.reset();
        }
        server_.stop();
    }
}

// A server that stands still for three seconds in the middle of `--monitor` and then sends what its
// null sink played meanwhile: nothing is lost and nothing is said; six seconds of sound are six
// seconds of rows, at the times of their sound.
TEST(RealServerMonitor, AServerThatStallsAndCatchesUpLosesNothing) {
    dl_test::SoundServer server;
    if (!server.start()) GTEST_SKIP() << "no PulseAudio server to start";
    const std::string dir = dl_test::temp_dir();
    const std::string cmd = server.env() + " exec " + std::string(DEWLARK_BINARY) +
                            " --monitor --seconds 6 --device 'Monitor of Speakers' >" + dir + "/rows.csv 2>" + dir +
                            "/err.txt";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Once the rows have begun, the server stands still.
    auto rows = [&] { return dl_test::read_file(dir + "/rows.csv"); };
    auto lines = [&] {
        const std::string r = rows();
        return std::count(r.begin(), r.end(), '\n');
    };
    for (int waited = 0; lines() < 2 && waited < 20000; waited += 20) QTest::qWait(20);
    server.freeze();
    QTest::qWait(3000);
    server.thaw();
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; waited += 50) {
        if (waited > 60000) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "the monitor did not end";
        }
        QTest::qWait(50);
    }
    server.stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << dl_test::read_file(dir + "/err.txt");
    EXPECT_EQ(dl_test::read_file(dir + "/err.txt").find("input: "), std::string::npos)
        << dl_test::read_file(dir + "/err.txt");
    std::stringstream text(rows());
    std::string line;
    std::getline(text, line);
    std::vector<double> times;
    while (std::getline(text, line)) times.push_back(std::stod(line.substr(0, line.find(','))));
    ASSERT_EQ(times.size(), 33u) << "slices of 0.186 s beginning within six seconds of sound";
    for (size_t k = 0; k < times.size(); ++k) EXPECT_NEAR(times[k], k * 2048 / 11025.0, 0.0006) << "row " << k;
}

// The input cannot be reached once the server is gone: that is "no driver", not a device in use.
TEST_F(RealServer, AnInputCheckWithTheServerGoneSaysNoDriver) {
    start();
    ASSERT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort) << "the server's null source is an input";
    dl::RecordFormatChoice format{dl::Settings.bits, dl::Settings.channel, dl::Settings.freq};
    EXPECT_EQ(dl::CheckRecordFormat(format), dl::kWaveOk);
    server_.kill();
    const int rc = dl::CheckRecordFormat(format);
    EXPECT_NE(rc, dl::kWaveAllocated);
    EXPECT_STREQ(dl::RecordPortQueryText(rc), "no driver");
}

}  // namespace

// The monitor's pitch listing: a frame every 10 ms of the sound the rows cover, the played note
// named in it, the frames at the times of their sound.
TEST(RealServerMonitor, ThePitchListingOfTheInputHasAFrameEvery10Ms) {
    dl_test::SoundServer server;
    if (!server.start()) GTEST_SKIP() << "no PulseAudio server to start";
    const std::string dir = dl_test::temp_dir();
    ASSERT_EQ(dl_test::run_shell("sox -n -r 44100 -c 2 -b 16 " + dir + "/a3.wav synth 20 sawtooth 220 vol -12dB").status, 0);
    const pid_t player = fork();
    ASSERT_GE(player, 0);
    if (player == 0) {
        const std::string cmd = server.env() + " exec paplay " + dir + "/a3.wav";
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    QTest::qWait(500);
    const dl_test::ProgramRun r = dl_test::run_shell(
        server.env() + " USERPROFILE=" + dl_test::temp_dir() + " " + std::string(DEWLARK_BINARY) +
        " --monitor --seconds 3 --device 'Monitor of Speakers' --pitch-track " + dir + "/f0.csv");
    kill(player, SIGTERM);
    waitpid(player, nullptr, 0);
    server.stop();
    ASSERT_EQ(r.status, 0) << r.err;
    std::stringstream text(dl_test::read_file(dir + "/f0.csv"));
    std::string line;
    std::getline(text, line);
    EXPECT_EQ(line, "time,f0_hz,note,cents,confidence");
    std::vector<std::string> lines;
    while (std::getline(text, line)) lines.push_back(line);
    ASSERT_EQ(lines.size(), 300u) << "frames of three seconds of sound";
    int named = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        EXPECT_NEAR(std::stod(lines[k].substr(0, lines[k].find(','))), 0.01 * double(k), 1e-9) << lines[k];
        if (lines[k].find(",A3,") != std::string::npos) ++named;
    }
    EXPECT_GE(named, 270) << "frames naming the A3 played";
}
