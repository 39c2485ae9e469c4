#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window_proc.h"
#include "app/measure_menu.h"
#include "app/settings_changed.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/reset.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"
#include "state/tick_clock.h"

namespace {

class MeasureMenuTest : public ::testing::Test {
protected:
    void SetUp() override { dl::ResetProcessState(); }
    void TearDown() override { dl::ResetProcessState(); }
};

TEST_F(MeasureMenuTest, ShortcutsStepThroughTheControls) {
    // Ctrl+A: off, fast, slow, the last blocks, infinite, and off again.
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(dl::KeyboardFilter(dl::Key::A, {true, false}));
        seen.push_back({dl::Settings.averaging, dl::Settings.averaging == 1 ? dl::Settings.average_ms : 0});
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 125}, {1, 1000}, {2, 0}, {3, 0}, {0, 0}}));
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::A, {}));  // A alone is no shortcut
    EXPECT_TRUE(dl::KeyboardFilter(dl::Key::M, {true, false}));
    EXPECT_TRUE(dl::KeyboardFilter(dl::Key::N, {true, false}));
    EXPECT_EQ(dl::Settings.max_hold, 1);
    EXPECT_EQ(dl::Settings.min_hold, 1);
    for (int w : {1, 2, 0}) {
        EXPECT_TRUE(dl::KeyboardFilter(dl::Key::W, {true, false}));
        EXPECT_EQ(dl::Settings.weighting, w);
    }
    for (int t : {1, 2, 3, 0}) {
        EXPECT_TRUE(dl::KeyboardFilter(dl::Key::T, {true, false}));
        EXPECT_EQ(dl::Settings.traces, t);
    }
}

TEST_F(MeasureMenuTest, SpaceFreezesOnlyWhileARunGoesOn) {
    // Idle, the space bar stays the focused button's.
    EXPECT_FALSE(dl::KeyboardFilter(dl::Key::Space, {}));
    EXPECT_FALSE(dl::Settings.Freeze);
    dl::SourceState.running = true;
    EXPECT_TRUE(dl::KeyboardFilter(dl::Key::Space, {}));
    EXPECT_TRUE(dl::Settings.Freeze);
    EXPECT_TRUE(dl::KeyboardFilter(dl::Key::Space, {}));
    EXPECT_FALSE(dl::Settings.Freeze);
    // Backspace starts the averages afresh.
    dl::RunAnalyser.traces[0].lines = 2048;
    EXPECT_TRUE(dl::KeyboardFilter(dl::Key::Backspace, {}));
    EXPECT_EQ(dl::RunAnalyser.traces[0].lines, 0);
}

TEST_F(MeasureMenuTest, TheMenuChecksWhatIsChosenAndChoosesWhatIsClicked) {
    dl::Settings.averaging = 1;
    dl::Settings.average_ms = 1000;
    dl::Settings.traces = 2;
    std::vector<dl::SubmenuEntry> entries = dl::MeasureMenu();
    auto find = [&](const std::string& start) {
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].text.rfind(start, 0) == 0) return int(i);
        ADD_FAILURE() << "no entry " << start;
        return 0;
    };
    EXPECT_TRUE(entries[size_t(find("Exponential, slow"))].checked);
    EXPECT_FALSE(entries[size_t(find("Exponential, fast"))].checked);
    EXPECT_TRUE(entries[size_t(find("Mid and side"))].checked);
    EXPECT_TRUE(entries[size_t(find("Max hold"))].toggle);
    EXPECT_TRUE(entries[size_t(find("&Reset"))].command);
    // Averaging and traces are groups of their own: one check in each.
    EXPECT_NE(entries[size_t(find("Exponential, slow"))].group, entries[size_t(find("Mid and side"))].group);
    dl::ChooseMeasureEntry(find("C weighting"));
    EXPECT_EQ(dl::Settings.weighting, 2);
    dl::ChooseMeasureEntry(find("&Freeze"));
    EXPECT_TRUE(dl::Settings.Freeze);
    dl::ChooseMeasureEntry(int(entries.size()) + 3);  // nothing there: nothing happens
}

}  // namespace

namespace {

// Every change of the settings ends in SettingsChanged: the analyser takes the new parameters, and
// what the change touches is redone there, whoever made it.
TEST_F(MeasureMenuTest, ASettingChangedFromTheMenuOrTheKeysReachesTheAnalyserAndStartsTheAveragesAfresh) {
    EXPECT_EQ(dl::RunAnalyser.params().weighting, 0);
    dl::RunAnalyser.traces[0].lines = 2048;
    EXPECT_TRUE(dl::KeyboardFilter(dl::Key::W, {true, false}));  // Ctrl+W: A weighting
    EXPECT_EQ(dl::RunAnalyser.params().weighting, 1);
    EXPECT_EQ(dl::RunAnalyser.traces[0].lines, 0);

    dl::RunAnalyser.traces[0].lines = 2048;
    dl::Settings.fftparam = 10;
    dl::SettingsChanged(dl::kSettingsAnalysis);  // the analysis reads it, and nothing starts again
    EXPECT_EQ(dl::RunAnalyser.params().fftparam, 10);
    EXPECT_EQ(dl::RunAnalyser.traces[0].lines, 2048);

    // The View menu's commands as well.
    dl::DispatchCommand(dl::kCmdPinkFlat, 0);
    EXPECT_EQ(dl::RunAnalyser.params().katamuki, 1);
    dl::DispatchCommand(dl::kCmdSpectrogram, 0);
    EXPECT_EQ(dl::RunAnalyser.params().display, dl::kViewSpectrogram);

    // The option dialog's keys: the transform's arrays are made again for the new size.
    dl::SettingsChanged(dl::kSettingsTransform);
    EXPECT_EQ(dl::RunAnalyser.work.n, 1024);
    EXPECT_NE(dl::RunAnalyser.work.re, nullptr);
    EXPECT_NE(dl::RunAnalyser.work.im, nullptr);
}

}  // namespace
