#include "audio/run.h"

#include <vector>

#include "audio/conversion.h"
#include "audio/idle_commands.h"
#include "audio/played_sound.h"
#include "audio/source.h"
#include "display/frame.h"
#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "platform/process.h"
#include "platform/screen_saver.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "state/engine.h"
#include "state/layout_units.h"
#include "state/recent_files.h"
#include "state/shell.h"
#include "state/window_dc.h"

namespace dl {

namespace {

constexpr int kTimerId = 1;

void unprepare_all() {
    for (WaveHeader& h : WaveHeaders) {
        if (h.prepared && WaveOutDevice) WaveOutDevice->unprepare(h);
        if (h.prepared && WaveInDevice) WaveInDevice->unprepare(h);
        h.prepared = false;
    }
}

// Returns what the devices still hold and closes them.
void close_devices() {
    if (WaveOutDevice) {
        if (WaveOutDevice->close() == kWaveStillPlaying) {
            WaveOutDevice->reset();
            WaveOutDevice->close();
        }
        WaveOutDevice.reset();
    }
    if (WaveInDevice) {
        if (WaveInDevice->close() == kWaveStillPlaying) {
            WaveInDevice->reset();
            WaveInDevice->close();
        }
        WaveInDevice.reset();
    }
}

}  // namespace

void SetBusyCursor(bool busy) {
    if (TheMainWindow) TheMainWindow->set_busy_cursor(busy);
}

void KillMemoryTimer() {
    if (TheMainWindow) TheMainWindow->kill_timer(kTimerId);
}

void FreeWaveBuffers() {
    for (int i = 0; i < 4; ++i) {
        std::vector<uint8_t>().swap(SampleStorage[i]);
        SampleBuffers[i] = nullptr;
    }
}

void PlaybackControls(bool on) {
    if (!TheMainWindow) return;
    MainWindow& w = *TheMainWindow;
    w.enable_button(kStopButton, on);
    w.enable_menu(kCmdStop, on);
    if (on) {
        w.enable_button(kBeepButton, true);
        w.enable_menu(kCmdBeep, true);
        if (w.is_active()) w.focus_button(kBeepButton);
    }
}

void StartControls(bool on) {
    if (!TheMainWindow) return;
    MainWindow& w = *TheMainWindow;
    if (SourceState.mode == SourceMode::File) w.set_button_text(kPlayButton, JapaneseUi ? "再生" : "PLAY");
    w.enable_button(kPlayButton, on);
    w.enable_menu(kCmdStart, on);
    EnableIdleCommands(on);
    if (on && w.is_active()) w.focus_button(kPlayButton);
}

void OpenControls(bool on) {
    if (!TheMainWindow) return;
    MainWindow& w = *TheMainWindow;
    w.accept_drops(on);
    w.enable_menu(kCmdOpen, on);
    w.enable_menu(kCmdRecentFiles, on && !RecentFiles().empty());
}

void DrawPreparingStatus(const char* japanese, int string_id) {
    {
        WindowDc wdc;
        Dc& dc = wdc.dc();
        BlackenLevelPanel(dc);
        DcStateGuard saved(dc);
        dc.set_text_color(Rgb{255, 255, 0});
        dc.set_bk_mode(BkMode::Transparent);
        dc.text_out(CellWidth * 39, CellHeight * 2 + CellHeight / 4, JapaneseUi ? japanese : LoadStringText(string_id));
    }
    // On the screen before the step it announces, which holds the event loop until the buffer is ready.
    if (TheMainWindow) TheMainWindow->show_now();
}

void EndRun(bool restore_controls) {
    SetBusyCursor(false);
    KillMemoryTimer();
    if (restore_controls) PlaybackControls(false);
    // Buffers the reset returns, and any still on their way, belong to no run now.
    StopRequested = true;
    RecordStopState = 2;
    if (WaveOutDevice) WaveOutDevice->reset();
    if (WaveInDevice) WaveInDevice->reset();
    unprepare_all();
    close_devices();
    if (ConversionStream || SampleBuffers[5]) CloseConversion();
    FreeWaveBuffers();
    FreePlayedSound();
    CloseSourceFile();
    if (SourceState.running && SourceState.mode == SourceMode::RecordPort) inhibit_screen_saver(false);
    SourceState.running = false;
    set_high_priority(false);
    if (restore_controls) StartControls(true);
}

}  // namespace dl
