// The dialogs as the window's commands open them.
#include <QTimer>

#include "app/app_fixture.h"
#include <QComboBox>
#include "app/main_window_proc.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/engine.h"
#include "state/view.h"
#include "support/dialog_driver.h"

namespace {

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
        qobject_cast<QComboBox*>(dl_test::control(d, 147))->setCurrentIndex(5);  // " 4096"
        qobject_cast<QComboBox*>(dl_test::control(d, 149))->setCurrentIndex(2);  // blackman
        click(d, 138);                                                           // flicker free
        click(d, 1);
    });
    w.trigger_menu(dl::kCmdOption);
    EXPECT_EQ(Settings.fftparam, 13);
    EXPECT_EQ(Settings.mado, 2);
    EXPECT_EQ(Settings.UseMemDC, 1);
    // The source was closed and the display rebuilt for the new settings.
    EXPECT_EQ(dl::SourceFile, nullptr);
    EXPECT_EQ(dl::WorkArrays.n, 8192);
    EXPECT_NE(dl::DrawSurfaceStore.dc, nullptr);

    int n = 0;
    dl::AnalysisObserver = [&n](double, const dl::BlockAnalysis& a) { n = a.n; };
    dl::DispatchCommand(dl::kCmdStart, 0);  // reopens the file
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(n, 8192);
    dl::DispatchCommand(dl::kCmdStop, 0);
    dl::AnalysisObserver = nullptr;
}

TEST_F(AppTest, TheFirstStartAsksForTheVoiceRangeUntilOneIsChosen) {
    dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\n");  // a fresh file: sex 0
    start({demo()});
    ASSERT_EQ(Settings.sex, 0);
    bool asked = false;
    when_dialog_shows([&](dl::Dialog& d) {
        asked = true;
        EXPECT_FALSE(d.checked(132) || d.checked(133));
        click(d, 1);  // no choice
    });
    dl::DispatchCommand(dl::kCmdStart, 0);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(dl::SourceState.running) << "Start goes on";
    EXPECT_EQ(Settings.sex, 0);
    dl::DispatchCommand(dl::kCmdStop, 0);

    asked = false;
    when_dialog_shows([&](dl::Dialog& d) {
        asked = true;
        click(d, 133);  // 女性｜子ども
        click(d, 1);
    });
    dl::DispatchCommand(dl::kCmdStart, 0);
    EXPECT_TRUE(asked);
    EXPECT_EQ(Settings.sex, 2);
    dl::DispatchCommand(dl::kCmdStop, 0);
    QTimer::singleShot(20, [] { dl::DispatchCommand(dl::kCmdExit, 0); });
    EXPECT_EQ(program_->Run(), 0);
    EXPECT_NE(dl_test::read_file(profile_ + "/dewlark.INI").find("sex=2\n"), std::string::npos);
}

}  // namespace
