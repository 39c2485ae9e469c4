#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "audio/result.h"
#include "platform/main_window.h"

namespace dl {

// The main window's behaviour: paint, commands, keys, dropped files, the title, shutdown.
class MainWindowProc : public WindowHandler {
public:
    void on_paint(Dc& dc) override;
    void on_command(int id, int code) override;
    void on_timer(int id) override;
    bool on_key_filter(Key key, KeyModifiers mods) override;
    bool on_button_key(int button_id, Key key) override;
    void on_lbutton_down(int x, int y) override;
    void on_lbutton_up(int x, int y) override;
    void on_lbutton_double(int x, int y) override;
    void on_mouse_move(int x, int y) override;
    void on_mouse_leave() override;
    void on_drop_files(const std::vector<std::string>& paths) override;
    void on_syscommand(SysCommand command) override;
    void on_client_resize(int width, int height) override;
    void on_destroy() override;
    void on_settings_change() override;
    void on_set_focus() override;
    void on_wave_out_done(int header) override;
    void on_wave_in_data(int header) override;
    std::vector<SubmenuEntry> on_submenu_show(int id) override;
    void on_submenu_choice(int id, int index) override;

private:
    std::map<int, std::vector<std::string>> menu_devices_;  // what each device menu listed when it opened
};

void DispatchCommand(int id, int code);
// The main window's shortcuts, with the modifiers held when the key was pressed.
bool KeyboardFilter(Key key, KeyModifiers mods = {});
// The file named as the source: PLAY reads "PLAY"; the file is opened (Done) or refused (Failed, said).
Result SelectFileSource();
// The record port as the source: PLAY reads "Start"; the port's format is checked.
Result SelectRecordSource();

void UpdateTitle();
// The title for a file name: its name part followed by " - dewlark", or "dewlark".
std::string TitleFor(const std::string& file_name, int platform_version);
void HandleDroppedFiles(const std::vector<std::string>& paths);
void LocaliseMenu();
// Check marks of the View menu from the settings.
void SetMenuCheckMarks();
void RelayoutWindow();
// The graph of the size the user last gave the window outside the maximised state.
void UseNormalWindowSize();
// The client width the current layout asks for, and the one of the window outside the maximised
// state, which the user may have made wider than its graph needs.
int LayoutClientWidth();
int NormalClientWidth();
// Command 123: the reference tone, played while the event loop runs on; `ended` runs once it has
// sounded (at once when there is none to play).
void PlayReferenceTone(std::function<void()> ended = nullptr);
// Switches the voice-controlled pointer on (asking for the voice range when none is chosen; without one
// it stays off) or off.
void ToggleVoicePointer();

}  // namespace dl
