// The window's controls follow the runs' events: what starts a run goes while one has its device,
// STOP serves while it runs, and every end, a start that failed too, gives the start side back.
#include <filesystem>
#include <string>

#include "app/run_controls.h"
#include "app_fixture.h"
#include "app/main_window_proc.h"
#include "resources/command_ids.h"
#include "state/hooks.h"
#include "state/source.h"
#include "support/test_support.h"

namespace {

using dl_test::AppTest;

struct Controls {
    bool play, start_item, stop, stop_item, beep, option, drops;
    bool operator==(const Controls&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Controls& c) {
    return o << "{play " << c.play << ", start " << c.start_item << ", stop " << c.stop << ", stop item "
             << c.stop_item << ", beep " << c.beep << ", option " << c.option << ", drops " << c.drops << "}";
}

Controls controls_of(const dl::MainWindow& w) {
    return {w.button_enabled(dl::kPlayButton), w.menu_enabled(dl::kCmdStart), w.button_enabled(dl::kStopButton),
            w.menu_enabled(dl::kCmdStop),      w.button_enabled(dl::kBeepButton), w.menu_enabled(dl::kCmdOption),
            w.accepts_drops()};
}

std::string demo() { return std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav"; }

constexpr Controls kIdle{true, true, false, false, true, true, true};
constexpr Controls kTaken{false, false, false, false, true, false, false};
constexpr Controls kRunning{false, false, true, true, true, false, false};

TEST_F(AppTest, TheControlsFollowTheRunsEvents) {
    dl::MainWindow& w = start({demo()});
    ASSERT_EQ(controls_of(w), kIdle);
    dl::ShowRunEvent(dl::RunEvent::Taken);
    EXPECT_EQ(controls_of(w), kTaken);
    dl::ShowRunEvent(dl::RunEvent::Filling);
    dl::ShowRunEvent(dl::RunEvent::Filled);
    EXPECT_EQ(controls_of(w), kTaken) << "the hourglass leaves the controls as they are";
    dl::ShowRunEvent(dl::RunEvent::Running);
    EXPECT_EQ(controls_of(w), kRunning);
    dl::ShowRunEvent(dl::RunEvent::Stopping);
    EXPECT_EQ(controls_of(w), kTaken);
    dl::ShowRunEvent(dl::RunEvent::Closed);
    EXPECT_EQ(controls_of(w), kTaken) << "a run that ends with its source leaves them too";
    dl::ShowRunEvent(dl::RunEvent::Ended);
    EXPECT_EQ(controls_of(w), kIdle);
    EXPECT_EQ(w.button_text(dl::kPlayButton), "PLAY");
}

// The window installs the observer: a play's start and end reach its controls.
TEST_F(AppTest, APlayAndAStartThatFailsBothEndWithTheControlsBack) {
    const std::string path = dl_test::temp_dir() + "/short.wav";
    std::filesystem::copy_file(demo(), path, std::filesystem::copy_options::overwrite_existing);
    dl::MainWindow& w = start({path});
    dl::DispatchCommand(dl::kCmdStart, 0);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(controls_of(w), kRunning);
    dl::DispatchCommand(dl::kCmdStop, 0);
    EXPECT_EQ(controls_of(w), kIdle);

    // Cut after it was opened: the first buffer cannot be read, and the start says so and gives up.
    ASSERT_EQ(dl::SelectFileSource(), dl::Result::Done);
    std::filesystem::resize_file(path, 200);
    dl::DispatchCommand(dl::kCmdStart, 0);
    EXPECT_FALSE(dl::SourceState.running);
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0].rfind("can't read data.", 0), 0u) << boxes_.texts()[0];
    EXPECT_EQ(controls_of(w), kIdle);
}

}  // namespace
