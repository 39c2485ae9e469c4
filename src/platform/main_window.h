#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dc.h"
#include "platform/surface.h"

namespace dl {

enum class Key { F1, Tab, Up, Down, R, P, S, O, L, Space, Backspace, A, M, N, W, T, C, E, H, G, Other };
// The modifier keys held when a key was pressed (not when its event is handled).
struct KeyModifiers {
    bool ctrl = false;
    bool shift = false;
};
enum class SysCommand { Minimize, Maximize, Restore };
enum class ShowCommand { Normal, Minimized, Maximized };

struct MenuItem {
    int id = 0;  // 0: separator
    std::string text;
    bool grayed = false;
    bool submenu = false;  // a list of choices the handler gives each time it opens
};
// One choice of a submenu.
struct SubmenuEntry {
    std::string text;
    bool checked = false;
    // A command rather than one choice of several: no check mark, and "&" in the text marks the
    // mnemonic ("&&" an ampersand). Otherwise the text is shown as it is.
    bool command = false;
    // Choices of one group exclude each other (all of a submenu are group 0 unless told); a
    // toggle is checked on its own.
    int group = 0;
    bool toggle = false;
    bool separator_before = false;
    // A choice whose text is the program's own: "&" marks its mnemonic as a command's does.
    bool mnemonic = false;
};
struct MenuBarEntry {
    std::string title;
    std::vector<MenuItem> items;
};

// The window procedure: what the main window's events become.
class WindowHandler {
public:
    virtual ~WindowHandler() = default;
    virtual void on_paint(Dc& dc) = 0;
    virtual void on_command(int id, int code) = 0;
    virtual void on_timer(int /*id*/) {}
    // Offered every key press of the main window first; true when taken.
    virtual bool on_key_filter(Key /*key*/, KeyModifiers /*mods*/) { return false; }
    // Key presses on a push button; true when consumed.
    virtual bool on_button_key(int /*button_id*/, Key /*key*/) { return false; }
    virtual void on_lbutton_down(int /*x*/, int /*y*/) {}
    virtual void on_lbutton_up(int /*x*/, int /*y*/) {}
    virtual void on_lbutton_double(int /*x*/, int /*y*/) {}
    // The pointer moved over the client area (no button needed), or left it.
    virtual void on_mouse_move(int /*x*/, int /*y*/) {}
    virtual void on_mouse_leave() {}
    virtual void on_drop_files(const std::vector<std::string>& /*paths*/) {}
    virtual void on_syscommand(SysCommand /*command*/) {}
    // The client area now has this size (the user dragged the border, or the window was maximised).
    virtual void on_client_resize(int /*width*/, int /*height*/) {}
    virtual void on_destroy() {}
    virtual void on_settings_change() {}
    virtual void on_set_focus() {}
    virtual void on_wave_out_done(int /*header*/) {}
    virtual void on_wave_in_data(int /*header*/) {}
    // The choices of submenu `id` as it opens, and the one the user took.
    virtual std::vector<SubmenuEntry> on_submenu_show(int /*id*/) { return {}; }
    virtual void on_submenu_choice(int /*id*/, int /*index*/) {}
};

// The main window: a menu bar, a client area backed by a persistent image that ticks can draw on at
// any moment, push buttons, timers and posted audio completions.
class MainWindow {
public:
    MainWindow(WindowHandler& handler, const std::vector<MenuBarEntry>& menus, int client_width,
               int client_height);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    static MainWindow* instance();

    void show(ShowCommand command);
    bool visible() const;
    void set_title(const std::string& title);
    std::string title() const;

    // The window takes the client area's size, except while maximised; it is not resizable by hand
    // but offers maximise.
    // The client size the layout asks for; the user may size the window beyond it afterwards.
    void set_client_size(int width, int height);
    // The window cannot be made smaller than this client size.
    void set_least_client_size(int width, int height);
    bool maximised() const;
    int client_width() const;
    int client_height() const;
    Surface& surface();
    // Asks for a paint (coalesced): on_paint runs from the event loop, then the window shows the buffer.
    void invalidate();
    // Runs a pending paint now.
    void update_now();
    // Puts the back buffer on the screen now, without waiting for the event loop (a status shown
    // before a long step).
    void show_now();
    // Runs after each time the client area has been put on the screen (tests look at what it showed).
    void set_screen_paint_listener(std::function<void()> listener);

    void create_button(int id, const std::string& text, int x, int y, int width, int height, bool enabled);
    void move_button(int id, int x, int y, int width, int height);
    void set_button_text(int id, const std::string& text);
    std::string button_text(int id) const;
    void enable_button(int id, bool enabled);
    bool button_enabled(int id) const;
    bool has_button(int id) const;
    void focus_button(int id);
    int focused_button() const;  // 0 when none

    void check_menu(int id, bool checked);
    bool menu_checked(int id) const;
    void enable_menu(int id, bool enabled);
    bool menu_enabled(int id) const;
    void set_menu_text(int id, const std::string& text);
    std::string menu_text(int id) const;
    void set_menu_title(int index, const std::string& text);
    std::string menu_title(int index) const;
    // Triggers a menu item as the user would.
    void trigger_menu(int id);
    // Opens submenu `id` as the user would and gives the texts of its choices; takes choice `index`.
    std::vector<std::string> open_submenu(int id);
    void choose_in_submenu(int id, int index);

    void accept_drops(bool accept);
    bool accepts_drops() const;
    bool is_active() const;

    void set_timer(int id, int period_ms);
    void kill_timer(int id);
    bool has_timer(int id) const;

    // Thread-safe: completions arrive on the UI thread, in the order posted.
    void post_wave_out_done(int header);
    void post_wave_in_data(int header);

    void set_busy_cursor(bool busy);
    void set_icon(const std::string& png_path);
    // The whole window as the screen shows it (menu bar, buttons and client area) into a PNG file.
    bool save_screenshot(const std::string& png_path, std::string* error = nullptr);
    // Performs a minimise/maximise/restore as the title bar would (the handler is told first).
    void system_command(SysCommand command);
    // Destroys the window: on_destroy runs once.
    void destroy();
    bool destroyed() const;

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

// The event loop.
int run_message_loop();
// Whether run_message_loop runs (a modal dialog's loop inside it or not).
bool main_loop_running();
void post_quit(int code);

}  // namespace dl
