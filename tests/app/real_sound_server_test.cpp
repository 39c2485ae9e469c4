// The window against a real sound server of the test's own (PulseAudio, null sink and source): what
// the server sees after Stop, a server that goes away during a play, and a check of the input with
// the server gone.
#include <QTest>
#include <chrono>

#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "audio/record_port.h"
#include "platform/wave_device.h"
#include "state/run.h"
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
    bool wait_for(const std::function<bool()>& done, int limit_ms) {
        for (int waited = 0; !done() && waited < limit_ms; waited += 20) QTest::qWait(20);
        return done();
    }
    dl_test::SoundServer server_;
};

TEST_F(RealServer, StopClosesTheOutputStream) {
    start({demo()});
    dl::DispatchCommand(dl::kCmdStart, 0);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_TRUE(wait_for([&] { return server_.playing_streams() == 1; }, 3000)) << "the play reached the server";
    // The desktop's volume control shows the program and its stream by name.
    const std::string inputs = server_.pactl("list sink-inputs").out;
    EXPECT_NE(inputs.find("application.name = \"dewlark\""), std::string::npos) << inputs;
    EXPECT_NE(inputs.find("media.name = \"dewlark\""), std::string::npos) << inputs;
    dl::DispatchCommand(dl::kCmdStop, 0);
    EXPECT_TRUE(wait_for([&] { return server_.playing_streams() == 0; }, 1000)) << "no stream left open after Stop";
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
        ASSERT_TRUE(wait_for([&] { return server_.playing_streams() == 1; }, 3000));
        server_.kill();
        EXPECT_TRUE(wait_for([] { return !dl::SourceState.running; }, 3000)) << "the play ended";
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

// A server that stops answering in the middle of a play (as one that hangs) holds neither STOP nor
// the window's end: the program leaves it without waiting for an answer.
TEST_F(RealServer, StopAndExitStayPromptWhileTheServerHangs) {
    for (bool exit_instead : {false, true}) {
        SCOPED_TRACE(exit_instead ? "exit" : "STOP");
        if (exit_instead) {
            ASSERT_TRUE(server_.start());
        }
        start({demo()});
        dl::DispatchCommand(dl::kCmdStart, 0);
        ASSERT_TRUE(dl::SourceState.running);
        ASSERT_TRUE(wait_for([&] { return server_.playing_streams() == 1; }, 3000));
        server_.freeze();
        QTest::qWait(300);
        const auto started = std::chrono::steady_clock::now();
        if (exit_instead) {
            program_->window().destroy();
            program_.reset();
        } else {
            dl::DispatchCommand(dl::kCmdStop, 0);
            EXPECT_FALSE(dl::SourceState.running);
            EXPECT_TRUE(program_->window().button_enabled(dl::kPlayButton));
        }
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        EXPECT_LT(took.count(), 500) << "the program waited for the hanging server";
        server_.thaw();
        if (!exit_instead) {
            EXPECT_TRUE(wait_for([&] { return server_.playing_streams() == 0; }, 3000)) << "the stream went with STOP";
            program_->window().destroy();
            program_.reset();
        }
        server_.stop();
    }
}

// The input cannot be reached once the server is gone: that is "no driver", not a device in use.
TEST_F(RealServer, AnInputCheckWithTheServerGoneSaysNoDriver) {
    start();
    ASSERT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort) << "the server's null source is an input";
    EXPECT_EQ(dl::CheckRecordFormat(), dl::kWaveOk);
    server_.kill();
    const int rc = dl::CheckRecordFormat();
    EXPECT_NE(rc, dl::kWaveAllocated);
    EXPECT_STREQ(dl::RecordPortQueryText(rc), "no driver");
}

}  // namespace
