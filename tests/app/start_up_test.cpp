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

namespace {

using dl_test::AppTest;

const std::string& demo() {
    static const std::string path = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    return path;
}

// The reference tone where the program looks for it (the fixture's data folder).
void install_tone() {
    const std::string tone = dl_test::read_file(std::string(DEWLARK_TEST_DATA) + "/../../data/kijun.wav");
    ASSERT_GT(tone.size(), 1000u);
    const char* data = std::getenv("DEWLARK_DATA_DIR");
    ASSERT_NE(data, nullptr);
    dl_test::write_file(std::string(data) + "/kijun.wav", tone);
}

bool wait_while_the_tone_sounds() {
    for (int waited = 0; dl::wav_playing() && waited < 5000; waited += 5) QTest::qWait(5);
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
TEST_F(AppTest, BeepSoundsWhileTheMonitorGoesOnAndCtrlSStopsIt) {
    dl::MainWindow& w = start({"/P"});
    ASSERT_TRUE(dl::SourceState.running);
    install_tone();
    dl_test::type_key(w, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(dl::wav_playing());
    EXPECT_TRUE(dl::SourceState.running);
    int blocks = 0;
    dl::AnalysisObserver = [&](double, const dl::BlockAnalysis&) { ++blocks; };
    for (int waited = 0; blocks < 2 && waited < 2000; waited += 5) QTest::qWait(5);
    EXPECT_GE(blocks, 2) << "monitored while the tone sounds";
    dl_test::type_key(w, Qt::Key_S, Qt::ControlModifier);
    // The monitor ends with the buffers the device gives back.
    for (int waited = 0; dl::SourceState.running && waited < 300; waited += 5) QTest::qWait(5);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_TRUE(dl::wav_playing()) << "stopped while the tone still sounds";
    dl::AnalysisObserver = nullptr;
    EXPECT_TRUE(wait_while_the_tone_sounds());
}

}  // namespace
