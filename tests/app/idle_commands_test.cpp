// The items that serve between runs (voice range, Option, Monitor) and dropped files: enabled
// before and after a play, each only where choosing it does something, and never during one.
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "platform/pointer.h"
#include "resources/command_ids.h"
#include "state/settings.h"
#include "state/source.h"
#include "support/dialog_driver.h"

namespace {

using dl_test::AppTest;

struct Items {
    bool voice_range, option, monitor, drops;
    bool operator==(const Items&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Items& i) {
    return o << "{voice range " << i.voice_range << ", option " << i.option << ", monitor " << i.monitor
             << ", drops " << i.drops << "}";
}

Items items_of(const dl::MainWindow& w) {
    return {w.menu_enabled(dl::kCmdVoiceRange), w.menu_enabled(dl::kCmdOption), w.menu_enabled(dl::kCmdMonitor),
            w.accepts_drops()};
}

std::string demo() { return std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav"; }

// Closes any dialog that shows while alive and tells whether one did.
class DialogWatch {
public:
    DialogWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            dl::Dialog* d = dl::Dialog::showing();
            if (!d || !dl::dialog_window(*d)->isVisible()) return;
            shown = true;
            dl_test::click(*d, 1);
        });
        timer_.start(10);
    }
    bool shown = false;

private:
    QTimer timer_;
};

// The items before a play, during it and after it.
struct PlayItems {
    Items before, during, after;
};

PlayItems items_around_a_play(dl::MainWindow& w) {
    PlayItems p{};
    p.before = items_of(w);
    dl::DispatchCommand(dl::kCmdStart, 0);
    EXPECT_TRUE(dl::SourceState.running);
    p.during = items_of(w);
    QTest::qWait(100);
    dl::DispatchCommand(dl::kCmdStop, 0);
    EXPECT_FALSE(dl::SourceState.running);
    p.after = items_of(w);
    return p;
}

constexpr Items kNone{false, false, false, false};

TEST_F(AppTest, WithInputDevicesAndAPointerEveryIdleItemWorksBetweenPlays) {
    dl::MainWindow& w = start({demo()});
    const PlayItems p = items_around_a_play(w);
    const Items all{true, true, true, true};
    EXPECT_EQ(p.before, all);
    EXPECT_EQ(p.during, kNone);
    EXPECT_EQ(p.after, all);
}

TEST_F(AppTest, WithoutInputDevicesMonitorStaysGrayAfterAPlay) {
    dl::simulate_missing_input_devices(true);
    dl::MainWindow& w = start({demo()});
    const PlayItems p = items_around_a_play(w);
    dl::simulate_missing_input_devices(false);
    const Items no_monitor{true, true, false, true};
    EXPECT_EQ(p.before, no_monitor);
    EXPECT_EQ(p.during, kNone);
    EXPECT_EQ(p.after, no_monitor);
}

// Where nothing takes injected events (no X display, a Wayland session) the voice range serves nothing:
// its item and the pointer's stay gray and Start does not ask for it.
TEST_F(AppTest, WithoutAPointerToSteerTheVoiceRangeStaysGrayAndStartDoesNotAskForIt) {
    dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\n");  // sex 0: Start would ask
    const char* display = std::getenv("DISPLAY");
    const std::optional<std::string> saved_display = display ? std::optional<std::string>(display) : std::nullopt;
    unsetenv("DISPLAY");
    setenv("WAYLAND_DISPLAY", "wayland-test", 1);
    dl::set_pointer_event_hook(nullptr);
    ASSERT_FALSE(dl::pointer_events_possible());

    dl::MainWindow& w = start({demo()});
    const bool pointer_item = w.menu_enabled(dl::kCmdVoicePointer);
    std::optional<PlayItems> p;
    bool asked = false;
    {
        DialogWatch watch;
        p = items_around_a_play(w);
        asked = watch.shown;
    }

    dl_test::keep_pointer_off_the_desktop();
    unsetenv("WAYLAND_DISPLAY");
    if (saved_display) setenv("DISPLAY", saved_display->c_str(), 1);
    const Items no_voice_range{false, true, true, true};
    EXPECT_EQ(p->before, no_voice_range);
    EXPECT_EQ(p->during, kNone);
    EXPECT_EQ(p->after, no_voice_range);
    EXPECT_FALSE(asked);
    EXPECT_FALSE(pointer_item);
    EXPECT_EQ(dl::Settings.sex, 0);
}

}  // namespace
