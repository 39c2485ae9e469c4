// The reference tone, at start-up and from BEEP, sounds while the window goes on: the window paints
// before the tone has ended, and the source opens only after it.
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <cstdlib>

#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "platform/system.h"
#include "platform/tone_player.h"
#include "state/hooks.h"
#include "state/source.h"
#include "support/wav_builder.h"

namespace {

using dl_test::AppTest;

const std::string& demo() {
    static const std::string path = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    return path;
}

// The reference tone where the program looks for it (the fixture's data folder).
void install_tone(const std::string& tone) {
    const char* data = std::getenv("DEWLARK_DATA_DIR");
    ASSERT_NE(data, nullptr);
    dl_test::write_file(std::string(data) + "/kijun.wav", tone);
}
void install_tone() {
    const std::string tone = dl_test::read_file(std::string(DEWLARK_TEST_DATA) + "/../../data/kijun.wav");
    ASSERT_GT(tone.size(), 1000u);
    install_tone(tone);
}
// A tone that outlasts whatever a test does while it sounds, however slowly the machine goes: a
// minute of 8-bit sound, stopped by the test.
void install_long_tone() { install_tone(dl_test::pcm_wav(1, 8000, 8, std::string(60 * 8000, char(0xA0)))); }

bool wait_while_the_tone_sounds() {
    (void)QTest::qWaitFor([&] { return !dl::wav_playing(); }, dl_test::kPatienceMs);
    return !dl::wav_playing();
}

TEST_F(AppTest, TheWindowPaintsBeforeTheToneEndsAndTheFileStartsAfterIt) {
    install_tone();
    program_ = std::make_unique<dl::Program>();
    program_->Initialise({demo(), "/P"});
    // Initialise came back while the tone sounds; nothing is open yet.
    ASSERT_TRUE(dl::wav_playing());
    EXPECT_EQ(dl::SourceFile, nullptr);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_FALSE(program_->window().button_enabled(dl::kPlayButton));

    dl::MainWindow& w = program_->window();
    const int X = dl::CellWidth, Y = dl::CellHeight;
    bool framed_during_tone = false;
    w.set_screen_paint_listener([&] {
        // The button face under the graph is the frame's, painted rather than the black of a new buffer.
        const dl::Rgb face = dl::system_colour(dl::SysColour::ButtonFace);
        if (dl::wav_playing() && w.surface().pixel(X / 2, 13 * Y + 262) == face) framed_during_tone = true;
    });
    bool tone_over_at_first_block = false;
    int blocks = 0;
    dl::AnalysisObserver = [&](double, const dl::BlockAnalysis&) {
        if (blocks++ == 0) tone_over_at_first_block = !dl::wav_playing();
    };
    ASSERT_TRUE(wait_while_the_tone_sounds());
    EXPECT_TRUE(framed_during_tone);
    QTest::qWait(20);
    EXPECT_TRUE(dl::SourceState.running) << "/P started the file once the tone had ended";
    EXPECT_GT(blocks, 0);
    EXPECT_TRUE(tone_over_at_first_block);
    EXPECT_TRUE(w.button_enabled(dl::kBeepButton));
    w.set_screen_paint_listener(nullptr);
    dl::AnalysisObserver = nullptr;
}

TEST_F(AppTest, ClosingTheWindowDuringTheToneOpensNothing) {
    install_tone();
    program_ = std::make_unique<dl::Program>();
    program_->Initialise({demo(), "/P"});
    ASSERT_TRUE(dl::wav_playing());
    program_->window().destroy();
    EXPECT_FALSE(dl::wav_playing()) << "the tone goes with the window";
    QTest::qWait(50);
    EXPECT_EQ(dl::SourceFile, nullptr);
    EXPECT_FALSE(dl::SourceState.running);
}

// BEEP returns at once: while the tone sounds, the monitor goes on and Ctrl+S stops it there and then.
// The tone is longer than the reference one, so that it still sounds when the monitor has run and
// stopped, however long the machine takes for that.
TEST_F(AppTest, BeepSoundsWhileTheMonitorGoesOnAndCtrlSStopsIt) {
    dl::MainWindow& w = start({"/P"});
    ASSERT_TRUE(dl::SourceState.running);
    install_long_tone();
    dl_test::type_key(w, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(dl::wav_playing());
    EXPECT_TRUE(dl::SourceState.running);
    int blocks = 0;
    dl::AnalysisObserver = [&](double, const dl::BlockAnalysis&) { ++blocks; };
    (void)QTest::qWaitFor([&] { return blocks >= 2; }, dl_test::kPatienceMs);
    EXPECT_GE(blocks, 2) << "monitored while the tone sounds";
    dl_test::type_key(w, Qt::Key_S, Qt::ControlModifier);
    // The monitor ends with the buffers the device gives back.
    (void)QTest::qWaitFor([&] { return !dl::SourceState.running; }, dl_test::kPatienceMs);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_TRUE(dl::wav_playing()) << "stopped while the tone still sounds";
    dl::AnalysisObserver = nullptr;
    dl::stop_wav();
}

}  // namespace
