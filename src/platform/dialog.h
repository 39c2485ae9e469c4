#pragma once
// Modal dialogs built from templates: controls placed in dialog units and addressed by id.
#include <memory>
#include <string>
#include <vector>

namespace dl {

enum class ControlKind {
    GroupBox,       // holds the controls that lie inside it
    Label,          // its mnemonic gives the focus to the next control of the template
    RightLabel,
    DropList,
    Edit,
    CheckBox,
    Radio,          // exclusive within its group box
    Button,
    DefaultButton,  // Enter
    HScrollBar,
    Icon,
};

// One control: its id, kind, rectangle in dialog units (x, y, width, height), its text in English
// and Japanese (null: the English one), and the setting it edits (for the reader; null: none).
struct ControlTemplate {
    int id;
    ControlKind kind;
    int x, y, w, h;
    const char* text;
    const char* japanese;
    const char* edits;
};

struct DialogTemplate {
    const char* name;
    const char* caption;
    const char* japanese_caption;  // null: the English one
    int w, h;                      // dialog units
    std::vector<ControlTemplate> controls;
};

class Dialog;

// What a dialog's controls do. Command 1 is OK (Enter on the default button), 2 Cancel (also Esc
// and closing the window).
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    virtual void on_init(Dialog& /*d*/) {}
    // A push button, check box or radio button was clicked.
    virtual void on_command(Dialog& d, int id) = 0;
    enum class Scroll { LineLeft, LineRight, PageLeft, PageRight, ThumbPosition, ThumbTrack, Other };
    virtual void on_scroll(Dialog& /*d*/, int /*id*/, Scroll /*code*/, int /*position*/) {}
    // The look item of the dialog's context menu.
    virtual void on_look_item(Dialog& /*d*/) {}
};

// How the template becomes pixels: a dialog unit is base_x / 4 pixels across and base_y / 8 down.
struct DialogUnits {
    int base_x = 8;
    int base_y = 14;
    bool japanese = false;  // the Japanese texts and the Japanese dialog font
};

class Dialog {
public:
    Dialog(const DialogTemplate& t, const DialogUnits& units, DialogHandler& handler);
    ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Shows the dialog over the main window and returns the code end() was given.
    int run();
    void end(int code);

    bool checked(int id) const;
    // Unchecking a radio button leaves its group without a checked one.
    void set_checked(int id, bool on);
    void enable(int id, bool on);
    bool enabled(int id) const;
    std::string text(int id) const;
    void set_text(int id, const std::string& text);
    // An edit field takes at most `chars` characters.
    void set_limit(int id, int chars);
    void add_item(int id, const std::string& text);
    int item_count(int id) const;
    int selection(int id) const;  // -1: none
    void select(int id, int index);
    void set_scroll(int id, int lo, int hi, int position);
    int scroll_position(int id) const;
    void set_scroll_position(int id, int position);
    void set_icon(int id, const std::string& png_path);
    void focus(int id);
    // Whether control `id` is the one the keyboard is on.
    bool has_focus(int id) const;
    // Geometry in pixels of the dialog's client area.
    void move(int id, int x, int y);
    void resize(int id, int w, int h);
    void resize_dialog(int w, int h);
    // The width of a vertical scroll bar of the toolkit.
    int scroll_bar_extent() const;
    // Raised controls (on) or flat ones painted in the window colour (off).
    void set_raised_look(bool raised);
    // The checkable item of the dialog's context menu.
    void set_look_item(const std::string& text, bool checked);

    // The dialog on screen now, if any (tests drive it through its controls).
    static Dialog* showing();
    struct Impl;
    Impl& impl() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace dl
