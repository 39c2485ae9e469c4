// What the desktop plays, analysed: against a real sound server of the test's own (PulseAudio, and
// PipeWire where it is installed), a tone played into its null sink by the server's own client is
// heard by `dewlark --monitor` on the sink's monitor and on "What the desktop plays", which follows
// the default output when it changes.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "audio/devices.h"
#include "audio/record_port.h"
#include "platform/audio_system.h"
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

std::vector<Row> rows_of(const std::string& csv) {
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

int loudest_at(const std::vector<Row>& rows, double hz) {
    int level = -999;
    for (const Row& r : rows)
        if (at(r, hz)) level = std::max(level, r.level);
    return level;
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

    // The program monitors `device` for `seconds` while the shell words in front play into the sink.
    dl_test::ProgramRun monitor(const std::string& playing, const std::string& device, double seconds) {
        char s[16];
        std::snprintf(s, sizeof s, "%.1f", seconds);
        return dl_test::run_shell(playing + server_.env() + " timeout 30 " + DEWLARK_BINARY + " --monitor --seconds " +
                                  s + " --device '" + device + "' --set fftparam=12; wait");
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
// the two-second block it renders while nobody asks for less; hence the run's length.)
TEST_P(DesktopSound, MonitoringTheSinkHearsAToneWithinOneLine) {
    for (const char* device : {"Monitor of Speakers", "What the desktop plays"}) {
        SCOPED_TRACE(device);
        const dl_test::ProgramRun r = monitor(server_.play_in_background(tone(1000), 0.3), device, 2.8);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<Row> rows = rows_of(r.out);
        ASSERT_FALSE(rows.empty()) << r.err;
        ASSERT_NE(first_row_at(rows, 1000), nullptr) << r.out;
        EXPECT_GT(loudest_at(rows, 1000), -30) << "at about the level it was played\n" << r.out;
    }
}

TEST_P(DesktopSound, TheDesktopsSoundFollowsTheDefaultOutput) {
    ASSERT_TRUE(server_.add_sink("headphones", "Headphones"));
    ASSERT_EQ(server_.pactl("set-default-sink speakers").status, 0);
    // 440 Hz into the speakers, then the headphones become the default and hear 1 kHz.
    const std::string script = server_.play_in_background(tone(440), 0.3, "speakers") + "( sleep 1.8; " +
                               server_.env() + " pactl set-default-sink headphones ) & " +
                               server_.play_in_background(tone(1000), 2.2, "headphones");
    const dl_test::ProgramRun r = monitor(script, "What the desktop plays", 3.8);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Row> rows = rows_of(r.out);
    const Row* before = first_row_at(rows, 440);
    ASSERT_NE(before, nullptr) << "the speakers' tone\n" << r.out;
    const Row* after = first_row_at(rows, 1000, before->time);
    ASSERT_NE(after, nullptr) << "the headphones' tone, once they are the default\n" << r.out;
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
    EXPECT_EQ(dl::CheckRecordFormat(), dl::kWaveOk);
    EXPECT_EQ(dl::Settings.freq, rate);
    EXPECT_EQ(dl::Settings.channel, 2);
    EXPECT_EQ(dl::Settings.bits, 16);
    ASSERT_TRUE(dl::ChosenRecordFormat) << "the settings file keeps the user's own format";
    EXPECT_EQ(dl::ChosenRecordFormat->freq, 11025u);
    // A microphone keeps the user's format.
    dl::Settings.InputDevice.clear();
    dl::Settings.freq = 22050;
    EXPECT_EQ(dl::CheckRecordFormat(), dl::kWaveOk);
    EXPECT_EQ(dl::Settings.freq, 22050u);
}

INSTANTIATE_TEST_SUITE_P(Servers, DesktopSound, ::testing::Values(ServerKind::PulseAudio, ServerKind::PipeWire),
                         [](const auto& info) { return info.param == ServerKind::PulseAudio ? "PulseAudio" : "PipeWire"; });

}  // namespace
