// The dialogs as the window's commands open them.
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/app_fixture.h"
#include <QComboBox>
#include "app/main_window_proc.h"
#include "resources/command_ids.h"
#include "resources/control_ids.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/source.h"
#include "state/view.h"
#include "support/dialog_driver.h"

namespace {

using namespace dl::option_ids;

using dl::Settings;
using dl_test::AppTest;
using dl_test::click;
using dl_test::when_dialog_shows;

const std::string& demo() {
    static const std::string path = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    return path;
}

TEST_F(AppTest, TheDialogItemsAreThere) {
    dl::MainWindow& w = start({demo()});
    for (int id : {dl::kCmdAbout, dl::kCmdVoiceRange, dl::kCmdOption, dl::kCmdMonitor})
        EXPECT_TRUE(w.menu_enabled(id)) << id;
}

TEST_F(AppTest, OptionsChosenTakeEffectAtTheNextPlay) {
    dl::MainWindow& w = start({demo()});
    ASSERT_EQ(Settings.fftparam, 12);
    when_dialog_shows([](dl::Dialog& d) {
        qobject_cast<QComboBox*>(dl_test::control(d, kFreqNum))->setCurrentIndex(5);  // " 4096"
        qobject_cast<QComboBox*>(dl_test::control(d, kWindow))->setCurrentIndex(2);  // blackman
        click(d, kMemDc);                                                                // flicker free
        click(d, 1);
    });
    w.trigger_menu(dl::kCmdOption);
    EXPECT_EQ(Settings.fftparam, 13);
    EXPECT_EQ(Settings.mado, 2);
    EXPECT_EQ(Settings.UseMemDC, 1);
    // The source was closed and the display rebuilt for the new settings.
    EXPECT_EQ(dl::SourceFile, nullptr);
    EXPECT_EQ(dl::RunAnalyser.work.n, 8192);
    EXPECT_NE(dl::DrawSurfaceStore.dc, nullptr);

    int n = 0;
    dl::AnalysisObserver = [&n](double, const dl::BlockAnalysis& a) { n = a.n; };
    dl::DispatchCommand(dl::kCmdStart, 0);  // reopens the file
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(n, 8192);
    dl::DispatchCommand(dl::kCmdStop, 0);
    dl::AnalysisObserver = nullptr;
}

// Enter on a focused CANCEL is CANCEL: the open file stays open and the settings file is as it was.
TEST_F(AppTest, EnterOnTheOptionDialogsFocusedCancelChangesNothing) {
    start({demo()});
    QTimer::singleShot(20, [] { dl::DispatchCommand(dl::kCmdExit, 0); });
    ASSERT_EQ(program_->Run(), 0);
    const std::string before = dl_test::read_file(profile_ + "/dewlark.INI");
    program_.reset();
    dl::ResetProcessState();

    dl::MainWindow& again = start({demo()});
    ASSERT_NE(dl::SourceFile, nullptr);
    bool on_cancel = false;
    when_dialog_shows([&](dl::Dialog& d) {
        click(d, kMonochrome);
        click(d, kWithLevel);  // peaks with their level
        for (int i = 0; i < 40 && QApplication::focusWidget() != dl_test::control(d, 2); ++i) dl_test::key(d, Qt::Key_Tab);
        on_cancel = QApplication::focusWidget() == dl_test::control(d, 2);
        dl_test::key(d, Qt::Key_Return);
    });
    again.trigger_menu(dl::kCmdOption);
    EXPECT_TRUE(on_cancel);
    EXPECT_NE(dl::SourceFile, nullptr) << "OK would have closed the file";
    QTimer::singleShot(20, [] { dl::DispatchCommand(dl::kCmdExit, 0); });
    ASSERT_EQ(program_->Run(), 0);
    EXPECT_EQ(dl_test::read_file(profile_ + "/dewlark.INI"), before);
}

// PLAY and Start go straight on, whatever the voice range: the range is asked for only by the voice
// pointer's item.
TEST_F(AppTest, StartNeverAsksForTheVoiceRange) {
    dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\n");  // a fresh file: sex 0
    start({demo()});
    ASSERT_EQ(Settings.sex, 0);
    bool asked = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (dl::Dialog* d = dl::Dialog::showing()) {
            asked = true;
            d->end(1);
        }
    });
    watch.start(5);
    for (int i = 0; i < 2; ++i) {
        dl::DispatchCommand(dl::kCmdStart, 0);
        EXPECT_TRUE(dl::SourceState.running);
        QTest::qWait(50);
        dl::DispatchCommand(dl::kCmdStop, 0);
    }
    program_->window().trigger_menu(dl::kCmdStart);
    QTest::qWait(50);
    EXPECT_FALSE(asked);
    EXPECT_EQ(Settings.sex, 0);
}

TEST_F(AppTest, SwitchingThePointerOnAsksForTheVoiceRangeFirst) {
    dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\n");
    dl::MainWindow& w = start({demo()});
    EXPECT_TRUE(w.menu_enabled(dl::kCmdVoicePointer));
    EXPECT_FALSE(w.menu_checked(dl::kCmdVoicePointer)) << "off on a fresh start";
    EXPECT_EQ(w.menu_text(dl::kCmdVoicePointer), "Control the &pointer with the voice");

    // No range chosen: nothing to steer by, so the pointer stays off.
    when_dialog_shows([](dl::Dialog& d) { click(d, 1); });
    w.trigger_menu(dl::kCmdVoicePointer);
    EXPECT_FALSE(w.menu_checked(dl::kCmdVoicePointer));
    EXPECT_EQ(Settings.VoicePointer, 0);

    // A range chosen from the keyboard (Down, Enter) switches the item on; the dialog said what
    // singing will do.
    bool asked = false;
    when_dialog_shows([&](dl::Dialog& d) {
        asked = true;
        EXPECT_EQ(dl::dialog_window(d)->windowTitle().toStdString(), "Voice range");
        EXPECT_EQ(d.text(dl::voice_range_ids::kPurpose), "Notes you sing will move the pointer.");
        dl_test::key(d, Qt::Key_Down);
        dl_test::key(d, Qt::Key_Return);
    });
    w.trigger_menu(dl::kCmdVoicePointer);
    EXPECT_TRUE(asked);
    EXPECT_EQ(Settings.sex, 2);
    EXPECT_EQ(Settings.VoicePointer, 1);
    EXPECT_TRUE(w.menu_checked(dl::kCmdVoicePointer));

    // Off and on again: the range is known now, so nothing is asked. It works while a file plays too.
    dl::DispatchCommand(dl::kCmdStart, 0);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_TRUE(w.menu_enabled(dl::kCmdVoicePointer));
    w.trigger_menu(dl::kCmdVoicePointer);
    EXPECT_FALSE(w.menu_checked(dl::kCmdVoicePointer));
    EXPECT_EQ(Settings.VoicePointer, 0);
    dl::DispatchCommand(dl::kCmdStop, 0);
    w.trigger_menu(dl::kCmdVoicePointer);
    EXPECT_TRUE(w.menu_checked(dl::kCmdVoicePointer));
    QTimer::singleShot(20, [] { dl::DispatchCommand(dl::kCmdExit, 0); });
    EXPECT_EQ(program_->Run(), 0);
    const std::string ini = dl_test::read_file(profile_ + "/dewlark.INI");
    EXPECT_NE(ini.find("sex=2\n"), std::string::npos);
    EXPECT_NE(ini.find("VoicePointer=1\n"), std::string::npos);
}

}  // namespace
