#include "app/run_controls.h"

#include "display/frame.h"
#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "platform/pointer.h"
#include "resources/command_ids.h"
#include "resources/messages.h"
#include "state/layout_units.h"
#include "state/recent_files.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/window_dc.h"

namespace dl {

namespace {

MainWindow* window() { return TheMainWindow; }

// The stop-side controls: STOP and its menu item (and BEEP, which is always on while running).
void stop_side(bool on) {
    MainWindow* w = window();
    if (!w) return;
    w->enable_button(kStopButton, on);
    w->enable_menu(kCmdStop, on);
    if (on) {
        w->enable_button(kBeepButton, true);
        w->enable_menu(kCmdBeep, true);
        if (w->is_active()) w->focus_button(kBeepButton);
    }
}

// The start-side controls: PLAY, Start, and the items that serve only between runs.
void start_side(bool on) {
    MainWindow* w = window();
    if (!w) return;
    if (SourceState.mode == SourceMode::File) w->set_button_text(kPlayButton, JapaneseUi ? "再生" : "PLAY");
    w->enable_button(kPlayButton, on);
    w->enable_menu(kCmdStart, on);
    EnableIdleCommands(on);
    if (on && w->is_active()) w->focus_button(kPlayButton);
}

// The hourglass while a run prepares a large buffer.
void busy(bool on) {
    if (MainWindow* w = window()) w->set_busy_cursor(on);
}

// "reading file" / "allocating memory" in the level panel while memory mode fills its buffer, on
// the screen before the step it announces, which holds the event loop until the buffer is ready.
void show_preparing(const Message& status) {
    {
        WindowDc wdc;
        Dc& dc = wdc.dc();
        BlackenLevelPanel(dc);
        DcStateGuard saved(dc);
        dc.set_text_color(Rgb{255, 255, 0});
        dc.set_bk_mode(BkMode::Transparent);
        dc.text_out(CellWidth * 39, CellHeight * 2 + CellHeight / 4, MessageText(status));
    }
    if (MainWindow* w = window()) w->show_now();
}

}  // namespace

void ShowRunEvent(RunEvent event) {
    switch (event) {
        case RunEvent::ReadingFile: show_preparing(kMsgReadingFile); break;
        case RunEvent::AllocatingMemory: show_preparing(kMsgAllocatingMemory); break;
        case RunEvent::Taken: start_side(false); break;
        case RunEvent::Filling: busy(true); break;
        case RunEvent::Filled: busy(false); break;
        case RunEvent::Running: stop_side(true); break;
        case RunEvent::Stopping: stop_side(false); break;
        case RunEvent::Ended:
            busy(false);
            stop_side(false);
            start_side(true);
            break;
        case RunEvent::Closed: busy(false); break;
    }
}

bool CommandWorks(int id) {
    switch (id) {
        case kCmdMonitor: return wave_in_device_count() > 0;
        // The voice range serves the voice pointer alone.
        case kCmdVoiceRange:
        case kCmdVoicePointer: return pointer_events_possible();
        default: return true;
    }
}

void EnableIdleCommands(bool idle) {
    MainWindow* w = window();
    if (!w) return;
    for (int id : {kCmdVoiceRange, kCmdOption, kCmdMonitor}) w->enable_menu(id, idle && CommandWorks(id));
    // A file opened (dropped, from File › Open... or the recent list) is there to be played.
    OpenControls(idle && wave_out_device_count() > 0);
}

void OpenControls(bool on) {
    MainWindow* w = window();
    if (!w) return;
    w->accept_drops(on);
    w->enable_menu(kCmdOpen, on);
    w->enable_menu(kCmdRecentFiles, on && !RecentFiles().empty());
}

}  // namespace dl
