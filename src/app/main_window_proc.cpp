#include "app/main_window_proc.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "app/export_command.h"
#include "app/help_page.h"
#include "app/measure_menu.h"
#include "app/meter_menu.h"
#include "app/open_file.h"
#include "app/range_commands.h"
#include "app/reference_commands.h"
#include "app/save_picture.h"
#include "app/settings_changed.h"
#include "app/spectrogram_menu.h"
#include "app/tuner_menu.h"
#include "app/update_rate_menu.h"
#include "audio/devices.h"
#include "audio/display_tick.h"
#include "audio/playback.h"
#include "audio/record_port.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "dialogs/about_box.h"
#include "dialogs/option_dialog.h"
#include "dialogs/record_port_dialog.h"
#include "dialogs/voice_range_dialog.h"
#include "display/frame.h"
#include "display/hover_readout.h"
#include "display/level_meter.h"
#include "display/meter_strip.h"
#include "display/position_line.h"
#include "display/source_panel.h"
#include "display/spectrogram.h"
#include "display/tuner_readout.h"
#include "display/window_paint.h"
#include "platform/audio_system.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/tone_player.h"
#include "resources/command_ids.h"
#include "resources/menu_table.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

namespace {

MainWindow* window() { return TheMainWindow; }

bool view_has_scales() { return Settings.display == kCmdLinear || Settings.display == kCmdLog; }

void redraw_frame() {
    WindowDc dc;
    DrawFrame(dc);
}

void move_check(int old_id, int new_id) {
    if (!window() || old_id == new_id) return;
    window()->check_menu(old_id, false);
    window()->check_menu(new_id, true);
}

// A choice among menu items stored as the chosen item's id: the check mark moves with it.
void choose_item(int& setting, int id) {
    const int old = setting;
    setting = id;
    move_check(old, id);
    if (SourceState.running) redraw_frame();
}

void draw_adjust16() {
    WindowDc dc;
    SetSchemeTextColours(dc);
    char text[32];
    std::snprintf(text, sizeof text, "%d  ", Settings.adjust16);
    dc.dc().text_out(0, 0, text);
}

void layout_buttons() {
    if (!window()) return;
    const int X = CellWidth, Y = CellHeight, top = (15 * Y) / 2;
    window()->move_button(kPlayButton, 37 * X, top, 11 * X, 4 * Y);
    window()->move_button(kStopButton, 49 * X, top, 11 * X, 4 * Y);
    window()->move_button(kBeepButton, 61 * X, top, 11 * X, 4 * Y);
}

}  // namespace

std::string TitleFor(const std::string& file_name, int platform_version) {
    const size_t slash = file_name.rfind('/');
    const std::string name = slash == std::string::npos ? file_name : file_name.substr(slash + 1);
    if (name.empty()) return "dewlark";
    return platform_version >= 863 ? name + " - dewlark" : "dewlark - " + name;
}

void UpdateTitle() {
    if (window()) window()->set_title(TitleFor(FileName, PlatformVersion));
}

void SetMenuCheckMarks() {
    MainWindow* w = window();
    if (!w) return;
    w->check_menu(kCmdDecibel, Settings.Decibel);
    w->check_menu(kCmdPinkFlat, Settings.katamuki != 0);
    w->check_menu(kCmdExpand, Settings.Expand);
    w->check_menu(kCmdFatLine, Settings.futosa == 2);
    w->check_menu(kCmdTuner, Settings.tuner != 0);
    for (int id : {kCmdLineGraph, kCmdBarGraph}) w->check_menu(id, Settings.graph == id);
    for (int id : {kCmdLinear, kCmdLog, kCmdTuning, kCmdSpectrogram}) w->check_menu(id, Settings.display == id);
    w->check_menu(kCmdVoicePointer, Settings.VoicePointer != 0);
}

void LocaliseMenu() {
    MainWindow* w = window();
    if (!w) return;
    for (const JapaneseMenuText& t : japanese_menu_texts()) {
        if (t.target < 0) w->set_menu_title(-t.target - 1, t.text);
        else w->set_menu_text(t.target, t.text);
    }
}

int LayoutClientWidth() {
    if (GraphWidth != kNormalGraphWidth) return WindowWidth;
    return CellWidth == 7 ? WindowWidth + 8 * CellWidth : WindowWidth;
}

int NormalClientWidth() { return std::max(LayoutClientWidth(), Settings.window_width); }

void UseNormalWindowSize() {
    GraphSize g;
    if (Settings.window_width > 0 && Settings.window_height > 0)
        g = graph_size_for_client(Settings.window_width, Settings.window_height, screen_width());
    SetGraphSize(g.width, g.height);
}

void RelayoutWindow() {
    if (PlatformVersion >= 863) measure_layout_units();
    if (!window()) return;
    window()->set_least_client_size(normal_client_width(screen_width()), normal_client_height());
    // A window made wider than its graph needs keeps its width.
    window()->set_client_size(std::max(LayoutClientWidth(), window()->client_width()), client_height());
    layout_buttons();
    window()->invalidate();
}

namespace {

// The source kind, PLAY labelled for it and Start enabled, then the source opened.
Result select_source(SourceMode mode, const char* label, Result (*open)()) {
    ChooseSource(mode);
    if (MainWindow* w = window()) {
        w->set_button_text(kPlayButton, label);
        w->enable_button(kPlayButton, true);
        if (w->is_active()) w->focus_button(kPlayButton);
        w->enable_menu(kCmdStart, true);
    }
    const Result opened = open();
    // The frame's scales follow the new source's rate at once, not only at the next Start.
    if (MainWindow* w = window()) w->invalidate();
    return opened;
}

}  // namespace

Result SelectFileSource() {
    const Result opened = select_source(SourceMode::File, JapaneseUi ? "再生" : "PLAY", OpenSource);
    if (opened == Result::Done) NoteOpenedFile(FileName);
    return opened;
}

Result SelectRecordSource() {
    FileName.clear();
    return select_source(SourceMode::RecordPort, JapaneseUi ? "動作" : "Start", OpenRecordPort);
}

// Command 101: the previous file name comes back when the choice is cancelled.
void ChooseRecordPort() {
    CloseSource();
    const std::string previous = FileName;
    const bool chosen = EditSettingsInDialog(RunRecordPortDialog) == 1;
    // What the user has just chosen (and the device accepts) is what is saved from now on.
    if (chosen) ChosenRecordFormat.reset();
    FileName = chosen ? std::string() : previous;
    UpdateTitle();
    if (chosen) SelectRecordSource();  // a port refused has said why
}

void HandleDroppedFiles(const std::vector<std::string>& paths) {
    CloseSource();
    if (!paths.empty()) {
        // The whole path is kept: cutting it would open another file.
        FileName = paths.front();
        UpdateTitle();
        SelectFileSource();  // a file refused has said why
    }
}

// The voice steers the pointer only once the user asks for it, and only with a voice range to go by.
void ToggleVoicePointer() {
    if (Settings.VoicePointer) {
        Settings.VoicePointer = 0;
    } else {
        if (Settings.sex == 0) EditSettingsInDialog([](SettingsRecord& s) { return RunVoiceRangeDialog(s, true); });
        Settings.VoicePointer = Settings.sex != 0;
    }
    if (MainWindow* w = window()) w->check_menu(kCmdVoicePointer, Settings.VoicePointer != 0);
}

void PlayReferenceTone(std::function<void()> ended) { play_wav_async(data_dir() + "/kijun.wav", std::move(ended)); }

namespace {

// The View menu's commands; false for any other.
bool view_command(int id) {
    MainWindow* w = window();
    switch (id) {
        case kCmdLinear:
        case kCmdLog:
        case kCmdTuning:
        case kCmdSpectrogram:
            // The spectrogram's history is of the view it was drawn in.
            if (Settings.display != id) ResetSpectrogram();
            choose_item(Settings.display, id);
            return true;
        case kCmdPinkFlat:
            Settings.katamuki = !Settings.katamuki;
            if (w) w->check_menu(kCmdPinkFlat, Settings.katamuki != 0);
            if (view_has_scales()) redraw_frame();
            return true;
        case kCmdExpand:
            Settings.Expand = !Settings.Expand;
            if (w) w->check_menu(kCmdExpand, Settings.Expand);
            if (view_has_scales()) redraw_frame();
            return true;
        case kCmdLineGraph:
        case kCmdBarGraph:
            choose_item(Settings.graph, id);
            return true;
        case kCmdFatLine:
            Settings.futosa = Settings.futosa + 1 > 2 ? 1 : Settings.futosa + 1;
            if (w) w->check_menu(kCmdFatLine, Settings.futosa == 2);
            return true;
        case kCmdTuner:
            Settings.tuner = !Settings.tuner;
            if (w) w->check_menu(kCmdTuner, Settings.tuner != 0);
            RedrawTunerReadout(RunAnalyser.result);
            return true;
        case kCmdDecibel: {
            Settings.Decibel = !Settings.Decibel;
            Settings.Expand = !Settings.Decibel;
            if (w) {
                w->check_menu(kCmdDecibel, Settings.Decibel);
                w->check_menu(kCmdExpand, Settings.Expand);
            }
            WindowDc dc;
            BlackenLevelPanel(dc);
            DrawChannelLabels(dc);
            if (view_has_scales()) DrawFrame(dc);
            return true;
        }
        case kCmdResetLoudness:
            ResetLoudnessCommand();
            return true;
        default: return false;
    }
}

// Start and Stop, for the source PLAY is labelled for. A start that fails has said why.
void start_command() {
    ClearHeldPeaks();
    if (SourceState.mode == SourceMode::File) StartPlayback();
    else if (SourceState.mode == SourceMode::RecordPort) StartMonitoring();
}

void stop_command() {
    if (SourceState.mode == SourceMode::File) StopPlayback();
    else if (SourceState.mode == SourceMode::RecordPort) StopMonitoring();
}

}  // namespace

void DispatchCommand(int id, int code) {
    if (view_command(id)) {
        SettingsChanged(kSettingsAnalysis);
        return;
    }
    MainWindow* w = window();
    switch (id) {
        case kCmdOpen: OpenFileCommand(); break;
        case kCmdMonitor: ChooseRecordPort(); break;
        case kCmdExit:
            if (w) w->destroy();
            break;
        case kCmdHelp: ShowHelpPage(); break;
        case kCmdSavePicture: SavePictureCommand(); break;
        case kCmdExportSpectrum: ExportCommand(ExportKind::Spectrum); break;
        case kCmdExportPeaks: ExportCommand(ExportKind::Peaks); break;
        case kCmdExportLog: ExportCommand(ExportKind::Log); break;
        case kCmdCopyReadouts: CopyReadoutsCommand(); break;
        case kCmdHoldReference: HoldReferenceCommand(); break;
        case kCmdClearReferences: ClearReferencesCommand(); break;
        case kCmdSaveReferences: SaveReferencesCommand(); break;
        case kCmdLoadReference: LoadReferenceCommand(); break;
        case kCmdAbout: RunAboutBox(); break;
        case kCmdVoiceRange:
            EditSettingsInDialog([](SettingsRecord& s) { return RunVoiceRangeDialog(s); });
            SettingsChanged(kSettingsAnalysis);
            break;
        case kCmdVoicePointer:
            ToggleVoicePointer();
            SettingsChanged(kSettingsAnalysis);
            break;
        case kCmdOption: {
            const int meter = Settings.level_meter;
            // The strip under the graph takes room of its own.
            if (EditSettingsInDialog([](SettingsRecord& s) { return RunOptionDialog(s, PreviewOptions); }) == 1)
                SettingsChanged(kSettingsTransform | (Settings.level_meter != meter ? kSettingsLayout : 0u));
            break;
        }
        case kCmdStart:
            if (code == 0) start_command();
            break;
        case kCmdStop:
            if (code == 0) stop_command();
            break;
        case kCmdBeep: PlayReferenceTone(); break;
        case kCmdRange: RangeCommand(); break;
        case kCmdWholeRange: WholeRangeCommand(); break;
        default: break;  // identifiers outside the table
    }
}

bool KeyboardFilter(Key key, KeyModifiers mods) {
    // The key event's own modifiers: a key handled late (after a long tick) still has its Ctrl.
    const bool ctrl = mods.ctrl;
    if (MeasureShortcut(key, mods)) return true;
    switch (key) {
        case Key::F1:
            DispatchCommand(kCmdHelp, 0);
            return true;
        case Key::R:
            if (ctrl && SourceState.mode == SourceMode::RecordPort && !SourceState.running) {
                DispatchCommand(kCmdStart, 0);
                return true;
            }
            break;
        case Key::G:
            if (ctrl) {
                DispatchCommand(mods.shift ? kCmdWholeRange : kCmdRange, 0);
                return true;
            }
            break;
        case Key::O:
            if (ctrl) {
                DispatchCommand(kCmdOpen, 0);
                return true;
            }
            break;
        case Key::P:
            if (ctrl) {
                DispatchCommand(kCmdBeep, 0);
                return true;
            }
            break;
        case Key::S:
            // Ctrl+Shift+S saves the picture; Ctrl+S alone stops.
            if (ctrl && mods.shift) {
                DispatchCommand(kCmdSavePicture, 0);
                return true;
            }
            if (ctrl && SourceState.running) {
                DispatchCommand(kCmdStop, 0);
                return true;
            }
            break;
        case Key::L:
            if (ctrl) {
                DispatchCommand(kCmdResetLoudness, 0);
                return true;
            }
            break;
        case Key::E:
        case Key::C:
        case Key::H:
            if (ctrl) {
                DispatchCommand(key == Key::E   ? kCmdExportSpectrum
                                : key == Key::C ? kCmdCopyReadouts
                                : mods.shift    ? kCmdClearReferences
                                                : kCmdHoldReference,
                                0);
                return true;
            }
            break;
        case Key::Up:
            Settings.adjust16 -= ctrl ? 16 : 1;
            draw_adjust16();
            break;
        case Key::Down:
            Settings.adjust16 += ctrl ? 16 : 1;
            draw_adjust16();
            break;
        default:
            break;
    }
    return false;
}

void MainWindowProc::on_paint(Dc& dc) {
    RecomputeDarkScheme();
    UpdateTitle();
    PaintClientArea(dc);
    ShowHoverReadout(dc);
}

void MainWindowProc::on_command(int id, int code) { DispatchCommand(id, code); }

void MainWindowProc::on_timer(int id) {
    if (id == 1) RunTimerTick(time_get_time());
    if (id == 2) DisplayTick(time_get_time());
}

bool MainWindowProc::on_key_filter(Key key, KeyModifiers mods) { return KeyboardFilter(key, mods); }

bool MainWindowProc::on_button_key(int button_id, Key key) {
    if (key == Key::F1) {
        DispatchCommand(kCmdHelp, 0);
        return true;
    }
    if (key == Key::Tab) {
        if (button_id == kStopButton && window()) window()->focus_button(kBeepButton);
        else if (button_id == kBeepButton && window()) window()->focus_button(kStopButton);
        return true;
    }
    return false;
}

void MainWindowProc::on_lbutton_down(int x, int y) {
    const int X = CellWidth, Y = CellHeight;
    if (x > 37 * X && x < 72 * X && y > Y && y < 6 * Y) ClearHeldPeaks();
    if (InMeterStrip(x, y)) ResetLoudnessCommand();
    RangePress(x, y);
}

void MainWindowProc::on_lbutton_up(int x, int y) { RangeRelease(x, y); }

void MainWindowProc::on_lbutton_double(int x, int y) { RangeDoubleClick(x, y); }

void MainWindowProc::on_mouse_move(int x, int y) {
    RangeMove(x, y);
    MoveHover(x, y);
}

void MainWindowProc::on_mouse_leave() { LeaveHover(); }

void MainWindowProc::on_drop_files(const std::vector<std::string>& paths) { HandleDroppedFiles(paths); }

void MainWindowProc::on_syscommand(SysCommand command) {
    switch (command) {
        case SysCommand::Minimize:
            MinimisedFlag = true;
            return;
        case SysCommand::Maximize:
            SetGraphWidth(1024);
            break;
        case SysCommand::Restore:
            if (!MinimisedFlag) UseNormalWindowSize();
            break;
    }
    // Back from the maximised state: the size the user gave the window; from the icon: the size it had.
    const bool from_icon = MinimisedFlag;
    MinimisedFlag = false;
    ResizeDrawSurface();
    if (window()) {
        int width = LayoutClientWidth();
        if (command == SysCommand::Restore)
            width = from_icon ? std::max(width, window()->client_width()) : NormalClientWidth();
        window()->set_client_size(width, client_height());
        window()->invalidate();
    }
}

void MainWindowProc::on_client_resize(int width, int height) {
    MainWindow* w = window();
    if (MinimisedFlag || !w) return;
    // Only a size the user chose is kept for the next run; a maximised window is the screen's.
    if (!w->maximised()) {
        Settings.window_width = width;
        Settings.window_height = height;
    }
    const GraphSize g = graph_size_for_client(width, height, std::max(screen_width(), width));
    w->set_client_size(width, height);
    if (g.width != GraphWidth || g.height != GraphHeight) {
        SetGraphSize(g.width, g.height);
        ResizeDrawSurface();  // after the surface, whose width is the room the layout has
        layout_buttons();
    }
    w->invalidate();
}

void MainWindowProc::on_destroy() {
    if (window()) window()->accept_drops(false);
    stop_wav();
    CloseSource();  // ends a play that still runs
    ReleaseDrawSurface();
    set_high_priority(false);
    post_quit(0);
}

void MainWindowProc::on_settings_change() { RelayoutWindow(); }

void MainWindowProc::on_set_focus() {
    MainWindow* w = window();
    if (!w) return;
    if (w->button_enabled(kPlayButton)) w->focus_button(kPlayButton);
    else if (w->button_enabled(kBeepButton)) w->focus_button(kBeepButton);
}

void MainWindowProc::on_wave_out_done(int header) { PlaybackTick(header); }

void MainWindowProc::on_wave_in_data(int header) { RecordTick(header); }

std::vector<SubmenuEntry> MainWindowProc::on_submenu_show(int id) {
    if (id == kCmdRecentFiles) return RecentFilesMenu();
    if (id == kCmdMeasure) return MeasureMenu();
    if (IsMeterSubmenu(id)) return MeterSubmenu(id);
    if (IsSpectrogramSubmenu(id)) return SpectrogramSubmenu(id);
    if (IsUpdateRateSubmenu(id)) return UpdateRateSubmenu(id);
    if (IsTunerSubmenu(id)) return TunerSubmenu(id);
    std::vector<SubmenuEntry> entries;
    if (id != kCmdInputDevice && id != kCmdOutputDevice) return entries;
    const bool capture = id == kCmdInputDevice;
    std::vector<std::string>& devices = menu_devices_[id];
    devices = DeviceMenuEntries(capture);
    const int chosen = ChosenDeviceEntry(capture, devices);
    for (size_t i = 0; i < devices.size(); ++i) entries.push_back({devices[i], int(i) == chosen});
    return entries;
}

void MainWindowProc::on_submenu_choice(int id, int index) {
    if (id == kCmdRecentFiles) return OpenRecentFile(index);
    if (id == kCmdMeasure) return ChooseMeasureEntry(index);
    if (IsMeterSubmenu(id)) return ChooseInMeterSubmenu(id, index);
    if (IsSpectrogramSubmenu(id)) return ChooseInSpectrogramSubmenu(id, index);
    if (IsUpdateRateSubmenu(id)) return ChooseInUpdateRateSubmenu(id, index);
    if (IsTunerSubmenu(id)) return ChooseInTunerSubmenu(id, index);
    if (id != kCmdInputDevice && id != kCmdOutputDevice) return;
    const bool capture = id == kCmdInputDevice;
    if (const std::optional<std::string> name = DeviceOfEntry(menu_devices_[id], index))
        (capture ? Settings.InputDevice : Settings.OutputDevice) = *name;
    // A record port chosen before is checked again on the device now chosen, at the next Start.
    if (capture && SourceState.mode == SourceMode::RecordPort && !SourceState.running) FreeFormatRecord();
}

}  // namespace dl
