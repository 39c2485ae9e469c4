#include <QKeyEvent>
#include <QPalette>
#include <QTimer>
#include <set>

#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "display/level_meter.h"
#include "platform/font.h"
#include "platform/main_window_qt.h"
#include "resources/command_ids.h"
#include "resources/menu_table.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "support/ui_texts.h"

namespace {

using dl::Settings;
using dl_test::AppTest;
using dl_test::type_key;

TEST_F(AppTest, StartsWithMenusButtonsAndCheckMarksFromTheSettings) {
    Settings.futosa = 2;  // overwritten by load_settings: a fresh profile gives the defaults
    dl::MainWindow& w = start();
    EXPECT_EQ(w.title(), "dewlark");
    // No file named and an input device there: the record port is the source.
    ASSERT_GT(dl::WaveInDeviceCount, 0);
    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_EQ(w.button_text(dl::kPlayButton), "Start");
    EXPECT_EQ(w.button_text(dl::kStopButton), "STOP");
    EXPECT_EQ(w.button_text(dl::kBeepButton), "BEEP");
    EXPECT_TRUE(w.button_enabled(dl::kPlayButton));
    EXPECT_FALSE(w.button_enabled(dl::kStopButton));
    EXPECT_TRUE(w.button_enabled(dl::kBeepButton));
    EXPECT_TRUE(w.menu_enabled(dl::kCmdMonitor));
    EXPECT_TRUE(w.menu_enabled(dl::kCmdStart));
    EXPECT_TRUE(w.menu_checked(dl::kCmdDecibel));
    EXPECT_FALSE(w.menu_checked(dl::kCmdExpand));
    EXPECT_FALSE(w.menu_checked(dl::kCmdFatLine));
    EXPECT_TRUE(w.menu_checked(dl::kCmdBarGraph));
    EXPECT_TRUE(w.menu_checked(dl::kCmdLog));
    EXPECT_FALSE(w.menu_checked(dl::kCmdTuner));  // the profile's file is from before the tuner
    EXPECT_EQ(w.client_width(), dl::WindowWidth);
    EXPECT_EQ(w.client_height(), 16 * dl::CellHeight + 260);
}

TEST_F(AppTest, ViewAndGraphCommandsMoveTheirCheckMarks) {
    dl::MainWindow& w = start();
    dl::DispatchCommand(dl::kCmdTuning, 0);
    EXPECT_EQ(Settings.display, 111);
    EXPECT_TRUE(w.menu_checked(dl::kCmdTuning));
    EXPECT_FALSE(w.menu_checked(dl::kCmdLog));
    dl::DispatchCommand(dl::kCmdLineGraph, 0);
    EXPECT_EQ(Settings.graph, 116);
    EXPECT_TRUE(w.menu_checked(dl::kCmdLineGraph));
    EXPECT_FALSE(w.menu_checked(dl::kCmdBarGraph));
    dl::DispatchCommand(dl::kCmdPinkFlat, 0);
    EXPECT_EQ(Settings.katamuki, 1);
    EXPECT_TRUE(w.menu_checked(dl::kCmdPinkFlat));
    dl::DispatchCommand(dl::kCmdTuner, 0);
    EXPECT_EQ(Settings.tuner, 1);
    EXPECT_TRUE(w.menu_checked(dl::kCmdTuner));
    EXPECT_EQ(w.menu_text(dl::kCmdTuner), "T&uner");
    dl::DispatchCommand(dl::kCmdTuner, 0);
    EXPECT_EQ(Settings.tuner, 0);
    EXPECT_FALSE(w.menu_checked(dl::kCmdTuner));
    dl::DispatchCommand(99, 0);   // outside the table: ignored
    dl::DispatchCommand(200, 0);
}

TEST_F(AppTest, FatLineAlternatesAndDecibelDrivesExpand) {
    dl::MainWindow& w = start();
    dl::DispatchCommand(dl::kCmdFatLine, 0);
    EXPECT_EQ(Settings.futosa, 2);
    EXPECT_TRUE(w.menu_checked(dl::kCmdFatLine));
    dl::DispatchCommand(dl::kCmdFatLine, 0);
    EXPECT_EQ(Settings.futosa, 1);
    EXPECT_FALSE(w.menu_checked(dl::kCmdFatLine));

    dl::DispatchCommand(dl::kCmdDecibel, 0);
    EXPECT_FALSE(Settings.Decibel);
    EXPECT_TRUE(Settings.Expand);
    EXPECT_TRUE(w.menu_checked(dl::kCmdExpand));
    EXPECT_FALSE(w.menu_checked(dl::kCmdDecibel));
    dl::DispatchCommand(dl::kCmdDecibel, 0);
    EXPECT_TRUE(Settings.Decibel);
    EXPECT_FALSE(Settings.Expand);
    EXPECT_FALSE(w.menu_checked(dl::kCmdExpand));
}

TEST_F(AppTest, KeyboardFilterRules) {
    start();
    EXPECT_TRUE(dl::KeyboardFilter(dl::Key::F1));
    // Without Ctrl these keys are not taken.
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::R));
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::S));
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::P));
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::Other));
    Settings.adjust16 = 0;
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::Up));  // shown, and still passed on
    EXPECT_EQ(Settings.adjust16, -1);
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::Down));
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::Down));
    EXPECT_EQ(Settings.adjust16, 1);
}

TEST_F(AppTest, UpAndDownArrowsChangeAdjust16AndShowItAtTheTopLeft) {
    dl::MainWindow& w = start();
    type_key(w, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Settings.adjust16, -16);
    type_key(w, Qt::Key_Down);
    EXPECT_EQ(Settings.adjust16, -15);
    bool ink = false;
    for (int x = 0; x < 3 * 8; ++x)
        for (int y = 0; y < 14; ++y) ink = ink || !(w.surface().pixel(x, y) == w.surface().pixel(30, 2));
    EXPECT_TRUE(ink);
}

TEST_F(AppTest, CtrlSStopsWhatRunsAndCtrlRLeavesAFileAlone) {
    const std::string demo = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    dl::MainWindow& w = start({demo, "/P"});
    ASSERT_TRUE(dl::SourceState.running);  // /P started the play
    EXPECT_FALSE(w.button_enabled(dl::kPlayButton));
    EXPECT_TRUE(w.button_enabled(dl::kStopButton));
    // Ctrl+R is for the record port only: a running file play goes on.
    type_key(w, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(dl::SourceState.running);
    type_key(w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_TRUE(w.button_enabled(dl::kPlayButton));
    EXPECT_FALSE(w.button_enabled(dl::kStopButton));
    // With nothing running Ctrl+S is not taken.
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::S));
}

// A key handled late, after Ctrl was let go (a long tick held the loop), still counts with the Ctrl it
// was pressed with.
TEST_F(AppTest, ShortcutsTakeTheModifiersOfTheKeyEvent) {
    const std::string demo = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    dl::MainWindow& w = start({demo, "/P"});
    ASSERT_TRUE(dl::SourceState.running);
    type_key(w, Qt::Key_A);  // the keyboard now holds no modifier
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QKeyEvent late(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier, "s");
    QApplication::sendEvent(focus, &late);
    EXPECT_FALSE(dl::SourceState.running) << "Ctrl+S stopped the play";
    // And the other way round: S pressed alone does not stop, whatever is held by the time it is handled.
    dl::DispatchCommand(dl::kCmdStart, 0);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::S, {false, false}));
    EXPECT_TRUE(dl::SourceState.running);
    EXPECT_TRUE(dl::KeyboardFilter(dl::Key::S, {true, false}));
    EXPECT_FALSE(dl::SourceState.running);
}

TEST_F(AppTest, OpeningAFileDrawsItsFrequencyLabelsAtOnce) {
    const std::string demo = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    dl::MainWindow& w = start({demo});
    w.update_now();
    const int X = dl::CellWidth, Y = dl::CellHeight;
    const dl::Rgb face = w.surface().pixel(0, 13 * Y + 262);
    int ink = 0;
    for (int x = X; x < X + dl::GraphWidth; ++x)
        for (int y = 13 * Y + 260; y < 13 * Y + 260 + 2 * Y; ++y) ink += !(w.surface().pixel(x, y) == face);
    EXPECT_GT(ink, 50);  // the labels under the graph
}

TEST_F(AppTest, StartAndStopCommandsPlayTheOpenFile) {
    const std::string demo = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    dl::MainWindow& w = start({demo});
    EXPECT_EQ(w.title(), "demo.wav - dewlark");
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_TRUE(w.button_enabled(dl::kPlayButton));
    dl::DispatchCommand(dl::kCmdStart, 1);  // only notification code 0 starts
    EXPECT_FALSE(dl::SourceState.running);
    dl::DispatchCommand(dl::kCmdStart, 0);
    EXPECT_TRUE(dl::SourceState.running);
    QTest::qWait(300);
    dl::DispatchCommand(dl::kCmdStop, 0);
    EXPECT_FALSE(dl::SourceState.running);
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(AppTest, TitleFollowsTheFileName) {
    EXPECT_EQ(dl::TitleFor("/home/me/take 1.wav", dl::kThisPlatformVersion), "take 1.wav - dewlark");
    EXPECT_EQ(dl::TitleFor("/home/me/", dl::kThisPlatformVersion), "dewlark");
    EXPECT_EQ(dl::TitleFor("", dl::kThisPlatformVersion), "dewlark");
    EXPECT_EQ(dl::TitleFor("a.wav", 800), "dewlark - a.wav");
}

TEST_F(AppTest, DroppingFilesOpensOnlyTheFirst) {
    dl::MainWindow& w = start();
    const std::string dir = dl_test::temp_dir();
    dl::HandleDroppedFiles({dir + "/first.wav", dir + "/second.wav", dir + "/third.wav"});
    EXPECT_EQ(dl::FileName, dir + "/first.wav");
    EXPECT_EQ(w.title(), "first.wav - dewlark");
    // The file does not exist: its message, naming it, and nothing open.
    ASSERT_FALSE(boxes_.boxes.empty());
    EXPECT_EQ(boxes_.boxes.back().text, dir + "/first.wav\ncant open file");
    EXPECT_TRUE(w.button_enabled(dl::kPlayButton));
    EXPECT_EQ(w.button_text(dl::kPlayButton), "PLAY");
}

TEST_F(AppTest, ClicksStrictlyInsideTheLevelPanelClearTheHeldPeaks) {
    start();
    dl::MainWindowProc proc;
    const int X = dl::CellWidth, Y = dl::CellHeight;
    dl::PeakHoldValues = {100, 200};
    proc.on_lbutton_down(37 * X, 3 * Y);  // on the border
    EXPECT_EQ(dl::PeakHoldValues[0], 100u);
    proc.on_lbutton_down(40 * X, 6 * Y);
    EXPECT_EQ(dl::PeakHoldValues[1], 200u);
    proc.on_lbutton_down(37 * X + 1, Y + 1);
    EXPECT_EQ(dl::PeakHoldValues[0], 0u);
    EXPECT_EQ(dl::PeakHoldValues[1], 0u);
}

TEST_F(AppTest, MaximiseWidensTheGraphAndRestoreAfterMinimiseKeepsIt) {
    dl::MainWindow& w = start();
    dl::MainWindowProc proc;
    proc.on_syscommand(dl::SysCommand::Maximize);
    EXPECT_EQ(dl::GraphWidth, 1024);
    EXPECT_EQ(w.client_width(), dl::WindowWidth);
    EXPECT_GE(dl::WindowWidth, 1024 + 2 * dl::CellWidth);
    proc.on_syscommand(dl::SysCommand::Minimize);
    proc.on_syscommand(dl::SysCommand::Restore);
    EXPECT_EQ(dl::GraphWidth, 1024);
    proc.on_syscommand(dl::SysCommand::Restore);
    EXPECT_EQ(dl::GraphWidth, 512);
    EXPECT_EQ(w.client_width(), dl::WindowWidth);
}

TEST_F(AppTest, StartingMaximisedUsesTheLargeGraph) {
    dl::MainWindow& w = start({}, dl::ShowCommand::Maximized);
    QTest::qWait(20);
    // The graph takes the screen's width, whatever it is, with the scale's column beside it.
    EXPECT_GT(dl::GraphWidth, 512);
    EXPECT_EQ(dl::GraphWidth, w.client_width() - 9 * dl::CellWidth);
    EXPECT_FALSE(dl::MinimisedFlag);
}

TEST_F(AppTest, ExitEndsTheLoopWithStatusZeroAndWritesTheSettings) {
    start();
    Settings.sex = 2;
    QTimer::singleShot(20, [] { dl::DispatchCommand(dl::kCmdExit, 0); });
    EXPECT_EQ(program_->Run(), 0);
    const std::string ini = dl_test::read_file(profile_ + "/dewlark.INI");
    EXPECT_NE(ini.find("sex=2"), std::string::npos);
    EXPECT_NE(ini.find("mado=0"), std::string::npos);
    program_.reset();
}

TEST_F(AppTest, TheNextRunReadsTheSettingsBack) {
    dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\ndisplay=5\nMemSize=1000\ngraph=116\n");
    dl::MainWindow& w = start();
    EXPECT_EQ(Settings.display, 109);
    EXPECT_EQ(Settings.MemSize, 255);
    EXPECT_TRUE(w.menu_checked(dl::kCmdLinear));
    EXPECT_TRUE(w.menu_checked(dl::kCmdLineGraph));
}

using dl_test::ascii_only;
using dl_test::has_latin_letter;
using dl_test::mnemonic_of;
using dl_test::without_allowed_words;

// Every menu and item of the window in the language of the interface (none of the other's texts),
// each with a mnemonic of its own within its menu.
void expect_menus_in_one_language(dl::MainWindow& w, bool japanese) {
    const std::vector<dl::MenuBarEntry>& table = dl::menu_table();
    std::set<char> titles;
    for (size_t m = 0; m < table.size(); ++m) {
        const std::string title = w.menu_title(int(m));
        EXPECT_EQ(ascii_only(title), !japanese) << title;
        EXPECT_TRUE(titles.insert(mnemonic_of(title)).second) << "menu bar repeats the mnemonic of " << title;
        std::set<char> seen;
        for (const dl::MenuItem& item : table[m].items) {
            if (item.id == 0) continue;  // a separator
            const std::string text = w.menu_text(item.id);
            EXPECT_EQ(ascii_only(text), !japanese) << title << " › " << text;
            const char k = mnemonic_of(text);
            EXPECT_NE(k, 0) << title << " › " << text << " has no mnemonic";
            EXPECT_TRUE(seen.insert(k).second) << title << " › " << text << " repeats the mnemonic " << k;
            // A submenu's choices too, but for the names of files and devices.
            if (!item.submenu || item.id == dl::kCmdRecentFiles || item.id == dl::kCmdInputDevice ||
                item.id == dl::kCmdOutputDevice)
                continue;
            for (const std::string& choice : w.open_submenu(item.id)) {
                if (japanese) {
                    EXPECT_FALSE(has_latin_letter(without_allowed_words(choice))) << text << " › " << choice;
                } else {
                    EXPECT_TRUE(ascii_only(choice)) << text << " › " << choice;
                }
            }
        }
    }
}

TEST_F(AppTest, EveryEnglishMenuItemIsEnglishWithAMnemonicOfItsOwn) {
    dl::MainWindow& w = start();
    expect_menus_in_one_language(w, false);
    EXPECT_EQ(w.menu_text(dl::kCmdVoiceRange), "&Voice range...");
    EXPECT_EQ(w.menu_text(dl::kCmdBeep), "&Reference tone");
    program_.reset();
}

TEST_F(AppTest, EveryJapaneseMenuItemIsJapaneseWithAMnemonicOfItsOwn) {
    dl::MainWindow& w = start_in_japanese();
    expect_menus_in_one_language(w, true);
    EXPECT_EQ(w.menu_text(dl::kCmdStart), "開始(&S)");
    EXPECT_EQ(w.menu_text(dl::kCmdTuning), "チューニングメーター(&M)");
    end_in_english();
}

TEST_F(AppTest, JapaneseLocaleGivesJapaneseMenusAndButtons) {
    dl::MainWindow& w = start_in_japanese();
    EXPECT_TRUE(dl::JapaneseUi);
    EXPECT_EQ(w.menu_title(0), "ファイル(&F)");
    EXPECT_EQ(w.menu_text(dl::kCmdExit), "終了(&X)");
    EXPECT_EQ(w.button_text(dl::kPlayButton), "動作");  // the record port's Start
    EXPECT_EQ(w.button_text(dl::kBeepButton), "基準音");
    EXPECT_EQ(w.menu_text(dl::kCmdInputDevice), "入力デバイス(&I)");
    EXPECT_EQ(w.menu_text(dl::kCmdTuner), "チューナー(&U)");
    end_in_english();
}

}  // namespace

namespace {

using dl_test::AppTest;

TEST_F(AppTest, APaletteWithLightTextOnDarkGivesTheDarkScheme) {
    dl::MainWindow& w = start();
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    w.invalidate();
    w.update_now();
    EXPECT_TRUE(dl::DarkScheme);
    // The source panel is black under the dark scheme.
    EXPECT_EQ(w.surface().pixel(2 * dl::CellWidth, 2 * dl::CellHeight), dl::kBlack);
    QApplication::setPalette(saved);
    w.invalidate();
    w.update_now();
    EXPECT_FALSE(dl::DarkScheme);
    EXPECT_EQ(w.surface().pixel(2 * dl::CellWidth, 2 * dl::CellHeight), dl::kWhite);
}

}  // namespace
