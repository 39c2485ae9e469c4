// What the desktop plays, analysed: against a real sound server of the test's own (PulseAudio, and
// PipeWire where it is installed), a tone played into its null sink by the server's own client is
// heard by `dewlark --monitor` on the sink's monitor and on "What the desktop plays", which follows
// the default output when it changes. And a JACK server's tone routed to the program's ports.
// Each step waits for the one before it (the program recording, the tone's rows written), never
// for a time: a busy machine only makes them slower.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "audio/devices.h"
#include "audio/record_port.h"
#include "platform/audio_system.h"
#include "platform/ui_post.h"
#include "platform/wave_out.h"
#include "state/settings.h"
#include "support/sound_server.h"
#include "support/test_support.h"

namespace {

using dl_test::ServerKind;
using dl_test::SoundServer;

struct Row {
    double time = 0, peak_hz = 0;
    int level = 0;
};

// The rows written so far (a line still being written is left for later).
std::vector<Row> rows_of(const std::string& written) {
    const std::string csv = written.substr(0, written.rfind('\n') + 1);
    std::vector<Row> rows;
    std::istringstream in(csv);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.rfind("time", 0) == 0) continue;
        Row r;
        char comma;
        std::istringstream fields(line);
        if (fields >> r.time >> comma >> r.peak_hz >> comma >> r.level) rows.push_back(r);
    }
    return rows;
}

// Whether a row's strongest line lies within one line of `hz` (48 kHz, 4096 lines: 11.7 Hz).
bool at(const Row& r, double hz) { return std::fabs(r.peak_hz - hz) <= 48000.0 / 4096 + 0.01; }

const Row* first_row_at(const std::vector<Row>& rows, double hz, double after = -1) {
    for (const Row& r : rows)
        if (r.time > after && at(r, hz)) return &r;
    return nullptr;
}
// A row found in a list that is about to go away would be read after it has gone.
const Row* first_row_at(std::vector<Row>&&, double, double = -1) = delete;

int loudest_at(const std::vector<Row>& rows, double hz) {
    int level = -999;
    for (const Row& r : rows)
        if (at(r, hz)) level = std::max(level, r.level);
    return level;
}

// The time of the last whole row written, silent ones too (-1 before any).
double last_time(const std::string& written) {
    std::istringstream in(written.substr(0, written.rfind('\n') + 1));
    double last = -1;
    for (std::string line; std::getline(in, line);) {
        char* stop = nullptr;
        const double t = std::strtod(line.c_str(), &stop);
        if (stop != line.c_str()) last = t;
    }
    return last;
}

// Whether the rows hold a tone of `hz` (after `after` s) from its first row to `seconds` later.
bool heard_whole(const std::string& written, double hz, double seconds, double after = -1) {
    const std::vector<Row> rows = rows_of(written);
    const Row* first = first_row_at(rows, hz, after);
    return first && last_time(written) >= first->time + seconds;
}

class DesktopSound : public ::testing::TestWithParam<ServerKind> {
protected:
    void SetUp() override {
        dl_test::use_temporary_profile();
        if (!server_.installed()) GTEST_SKIP() << server_.name() << " is not installed here (scripts/deps.sh test)";
        ASSERT_TRUE(server_.start()) << server_.name() << " did not start";
        dir_ = dl_test::temp_dir();
        for (int hz : {440, 1000})
            ASSERT_EQ(dl_test::run_shell("sox -n -r 48000 -c 2 -b 16 " + tone(hz) + " synth 1.2 sine " +
                                         std::to_string(hz) + " gain -6")
                          .status,
                      0);
    }
    void TearDown() override { server_.stop(); }
    std::string tone(int hz) const { return dir_ + "/tone" + std::to_string(hz) + ".wav"; }

    // The program monitoring `device` until the test ends it, once the server has its stream.
    std::unique_ptr<dl_test::BackgroundRun> monitor(const std::string& device) {
        auto run = std::make_unique<dl_test::BackgroundRun>(
            server_.env(), std::string(DEWLARK_BINARY) + " --monitor --device '" + device + "' --set fftparam=12");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !server_.recorded_sources().empty() || !run->running(); },
                                    dl_test::kPatienceMs) &&
                    run->running())
            << "the program never recorded from the server\n" << run->err();
        return run;
    }

    SoundServer server_{GetParam()};
    std::string dir_;
};

TEST_P(DesktopSound, ListsTheOutputsMonitorsAfterTheMicrophones) {
    const dl_test::ProgramRun r = dl_test::run_program_env(server_.env(), "--list-devices");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("out: Speakers\n"), std::string::npos) << r.out;
    const size_t desktop = r.out.find("in: What the desktop plays\n");
    const size_t monitor = r.out.find("in: Monitor of Speakers\n");
    ASSERT_NE(desktop, std::string::npos) << r.out;
    ASSERT_NE(monitor, std::string::npos) << r.out;
    EXPECT_LT(desktop, monitor) << "the desktop's sound comes first of the monitors";
    if (GetParam() == ServerKind::PulseAudio) {
        const size_t microphone = r.out.find("in: Null Input\n");
        ASSERT_NE(microphone, std::string::npos) << r.out;
        EXPECT_LT(microphone, desktop) << "the microphones come first";
    }
}

// The tone's strongest line is within one line of its frequency, on the monitor named and on the
// desktop's sound. (An idle PulseAudio null sink hands its monitor the first sound only at the end of
// the two-second block it renders while nobody asks for less; the rows wait for it.)
TEST_P(DesktopSound, MonitoringTheSinkHearsAToneWithinOneLine) {
    for (const char* device : {"Monitor of Speakers", "What the desktop plays"}) {
        SCOPED_TRACE(device);
        const auto run = monitor(device);
        ASSERT_TRUE(server_.play(tone(1000)));
        EXPECT_TRUE(run->wait_for_out([](const std::string& out) { return heard_whole(out, 1000, 1.2); }));
        ASSERT_EQ(run->end(), 0) << run->err();
        const std::string out = run->out();
        const std::vector<Row> rows = rows_of(out);
        ASSERT_FALSE(rows.empty()) << run->err();
        ASSERT_NE(first_row_at(rows, 1000), nullptr) << out;
        EXPECT_GT(loudest_at(rows, 1000), -30) << "at about the level it was played\n" << out;
    }
}

TEST_P(DesktopSound, TheDesktopsSoundFollowsTheDefaultOutput) {
    ASSERT_TRUE(server_.add_sink("headphones", "Headphones"));
    ASSERT_EQ(server_.pactl("set-default-sink speakers").status, 0);
    // 440 Hz into the speakers, then the headphones become the default and hear 1 kHz.
    const auto run = monitor("What the desktop plays");
    // (Waited for: on a busy machine the stream that tried the format may still be closing.)
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return server_.recorded_sources() == std::vector<std::string>{"speakers.monitor"}; },
        dl_test::kPatienceMs))
        << "the stream records the default output's monitor";
    ASSERT_TRUE(server_.play(tone(440), "speakers"));
    EXPECT_TRUE(run->wait_for_out([](const std::string& out) { return heard_whole(out, 440, 1.2); }));
    ASSERT_EQ(server_.pactl("set-default-sink headphones").status, 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return server_.recorded_sources() == std::vector<std::string>{"headphones.monitor"}; },
        dl_test::kPatienceMs))
        << "the stream follows the new default";
    ASSERT_TRUE(server_.play(tone(1000), "headphones"));
    EXPECT_TRUE(run->wait_for_out([](const std::string& out) {
        const std::vector<Row> rows = rows_of(out);
        const Row* before = first_row_at(rows, 440);
        return before && heard_whole(out, 1000, 1.2, before->time);
    }));
    ASSERT_EQ(run->end(), 0) << run->err();
    const std::string out = run->out();
    const std::vector<Row> rows = rows_of(out);
    const Row* before = first_row_at(rows, 440);
    ASSERT_NE(before, nullptr) << "the speakers' tone\n" << out;
    const Row* after = first_row_at(rows, 1000, before->time);
    ASSERT_NE(after, nullptr) << "the headphones' tone, once they are the default\n" << out;
}

// A monitor records in its own rate and channels, as the record settings are fitted to an input.
TEST_P(DesktopSound, AMonitorIsRecordedInItsOwnFormat) {
    const std::string sinks = server_.pactl("list short sinks").out;
    const uint32_t rate = sinks.find("48000Hz") != std::string::npos ? 48000 : 44100;
    dl::Settings = dl::SettingsRecord{};
    dl::ChosenRecordFormat.reset();
    dl::Settings.InputDevice = "Monitor of Speakers";
    dl::Settings.freq = 11025;
    dl::Settings.channel = 1;
    dl::Settings.bits = 8;
    // A format being chosen is fitted on its own; the settings stay as they are.
    dl::RecordFormatChoice chosen{8, 1, 11025};
    EXPECT_EQ(dl::CheckRecordFormat(chosen), dl::kWaveOk);
    EXPECT_EQ(chosen.freq, rate);
    EXPECT_EQ(chosen.channel, 2);
    EXPECT_EQ(chosen.bits, 16);
    EXPECT_EQ(dl::Settings.freq, 11025u);
    // Opened, the settings are fitted.
    dl::FitRecordSettingsToMonitor();
    EXPECT_EQ(dl::Settings.freq, rate);
    EXPECT_EQ(dl::Settings.channel, 2);
    EXPECT_EQ(dl::Settings.bits, 16);
    ASSERT_TRUE(dl::ChosenRecordFormat) << "the settings file keeps the user's own format";
    EXPECT_EQ(dl::ChosenRecordFormat->freq, 11025u);
    // A microphone keeps the user's format.
    dl::Settings.InputDevice.clear();
    dl::RecordFormatChoice microphone{16, 2, 22050};
    EXPECT_EQ(dl::CheckRecordFormat(microphone), dl::kWaveOk);
    EXPECT_EQ(microphone.freq, 22050u);
}

INSTANTIATE_TEST_SUITE_P(Servers, DesktopSound, ::testing::Values(ServerKind::PulseAudio, ServerKind::PipeWire),
                         [](const auto& info) { return info.param == ServerKind::PulseAudio ? "PulseAudio" : "PipeWire"; });

}  // namespace

namespace {

// A JACK server of the test's own (its dummy back end, a name of its own), which the program
// reaches through SDL_AUDIODRIVER=jack.
class JackServer : public ::testing::Test {
protected:
    void SetUp() override {
        dl_test::use_temporary_profile();
        if (dl_test::run_shell("command -v jackd && command -v jack_lsp && command -v jack_metro").status != 0)
            GTEST_SKIP() << "JACK is not installed here (scripts/deps.sh test)";
        name_ = "dewlark-test-" + std::to_string(::getpid());
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        std::vector<std::string> args = {"jackd", "-n", name_, "-d", "dummy", "-r", "48000", "-p", "256"};
        pid_ = dl_test::spawn_tied(args, {}, dl_test::temp_dir() + "/jackd.log");
        ASSERT_GT(pid_, 0);
        ASSERT_TRUE(QTest::qWaitFor([this] { return has_port("system:playback_1"); }, dl_test::kPatienceMs))
            << "jackd did not start";
        dl::audio_quit();
        setenv("SDL_AUDIODRIVER", "jack", 1);
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        dl::audio_quit();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("JACK_DEFAULT_SERVER");
    }
    std::string env() const { return "JACK_DEFAULT_SERVER=" + name_ + " SDL_AUDIODRIVER=jack"; }
    // The server's ports, each with what it is connected to.
    std::string ports() const { return dl_test::run_shell(env() + " timeout 30 jack_lsp -c").out; }
    bool has_port(const std::string& port) const { return ports().find(port + "\n") != std::string::npos; }
    std::string name_;
    pid_t pid_ = -1;
};

TEST_F(JackServer, ListsItsPortsAsDevicesAndHearsAToneRoutedToThem) {
    const dl_test::ProgramRun list = dl_test::run_program_env(env(), "--list-devices");
    EXPECT_EQ(list.out, "out: JACK\nin: JACK\n") << list.err;
    // The server's own metronome (1 kHz beeps, 80 ms of every 100) routed by name to the program's
    // ports once both are there; the rows are read once a second of beeps has been analysed.
    dl_test::BackgroundRun run(env(), std::string(DEWLARK_BINARY) + " --monitor --device JACK --set freq=48000");
    ASSERT_TRUE(QTest::qWaitFor([&] { return has_port("dewlark:in_2") || !run.running(); }, dl_test::kPatienceMs));
    ASSERT_TRUE(run.running()) << run.err();
    dl_test::BackgroundRun metro(env(), "jack_metro -b 600 -f 1000 -D 80 -n metro");
    ASSERT_TRUE(QTest::qWaitFor([&] { return has_port("metro:600_bpm") || !metro.running(); }, dl_test::kPatienceMs));
    for (const char* in : {"dewlark:in_1", "dewlark:in_2"})
        ASSERT_EQ(dl_test::run_shell(env() + " timeout 30 jack_connect metro:600_bpm " + in).status, 0) << in;
    EXPECT_TRUE(run.wait_for_out([](const std::string& out) { return heard_whole(out, 1000, 1.0); }));
    ASSERT_EQ(run.end(), 0) << run.err();
    metro.end();
    const std::string out = run.out();
    const std::vector<Row> rows = rows_of(out);
    ASSERT_NE(first_row_at(rows, 1000), nullptr) << out;
    EXPECT_GT(loudest_at(rows, 1000), -30) << out;
}

// A play goes out through the program's own ports, connected to the system's; its buffers come back
// once the server has taken them, the last one last.
TEST_F(JackServer, PlaysThroughPortsOfItsOwnAndGivesEveryBufferBack) {
    std::vector<uint8_t> format(16, 0);
    auto w16 = [&](size_t at, uint16_t v) { format[at] = uint8_t(v), format[at + 1] = uint8_t(v >> 8); };
    w16(0, 1), w16(2, 2), w16(4, 44100 & 0xFFFF), w16(6, 0), w16(8, (44100 * 4) & 0xFFFF), w16(10, (44100 * 4) >> 16),
        w16(12, 4), w16(14, 16);
    std::vector<int> back;
    std::unique_ptr<dl::WaveOut> out;
    ASSERT_EQ(dl::wave_out_open(format, [&](int i) { dl::post_to_ui([&back, i] { back.push_back(i); }); }, out),
              dl::kWaveOk);
    std::vector<std::vector<uint8_t>> sound(3, std::vector<uint8_t>(44100 * 4 / 5, 0));
    dl::WaveHeader headers[3];
    for (int i = 0; i < 3; ++i) {
        headers[i].data = sound[size_t(i)].data();
        headers[i].length = uint32_t(sound[size_t(i)].size());
        headers[i].user = i == 2 ? dl::kLastBufferMark : 0;
        out->prepare(headers[i]);
        ASSERT_EQ(out->write(headers[i], i), dl::kWaveOk);
    }
    const std::string connected = ports();
    EXPECT_NE(connected.find("dewlark:out_1\n   system:playback_1"), std::string::npos) << connected;
    EXPECT_NE(connected.find("dewlark:out_2\n   system:playback_2"), std::string::npos) << connected;
    (void)QTest::qWaitFor([&] { return back.size() >= 3; }, dl_test::kPatienceMs);
    EXPECT_EQ(back, (std::vector<int>{0, 1, 2}));
    uint64_t heard = 0;
    EXPECT_TRUE(out->heard_position(heard));
    EXPECT_GT(heard, 44100u * 4 / 5) << "the position counts what the server took";
    for (auto& h : headers) out->unprepare(h);
    EXPECT_EQ(out->close(), dl::kWaveOk);
}

}  // namespace
