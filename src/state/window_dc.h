#pragma once
// The window's client area and the guarded contexts that draw on it.
// Written by: app (the window, or the batch run's stand-in)
// Read by: display, audio, app
#include "platform/dc.h"
#include "platform/surface.h"

namespace dl {

// The main window's client area (or the batch mode's stand-in); null before there is one.
inline Surface* WindowSurface = nullptr;

// Guarded window contexts: at most three at once, released in reverse order of acquisition.
Dc& AcquireWindowDc();
void ReleaseWindowDc(Dc& dc);
int HeldWindowDcCount();

// Acquires on construction, releases on destruction.
class WindowDc {
public:
    WindowDc() : dc_(AcquireWindowDc()) {}
    ~WindowDc() { ReleaseWindowDc(dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    Dc& dc() { return dc_; }
    operator Dc&() { return dc_; }

private:
    Dc& dc_;
};

// Selects the stock fixed font and puts back, when it goes, the font, text and background colours
// and background mode the context had: for texts drawn in colours of their own.
class DcStateGuard {
public:
    explicit DcStateGuard(Dc& dc)
        : dc_(dc), font_(dc.select_font(nullptr)), text_(dc.text_color()), bk_(dc.bk_color()), mode_(dc.bk_mode()) {}
    ~DcStateGuard() {
        dc_.select_font(font_);
        dc_.set_text_color(text_);
        dc_.set_bk_color(bk_);
        dc_.set_bk_mode(mode_);
    }
    DcStateGuard(const DcStateGuard&) = delete;
    DcStateGuard& operator=(const DcStateGuard&) = delete;

private:
    Dc& dc_;
    const Font* font_;
    Rgb text_, bk_;
    BkMode mode_;
};

// White text on black under the dark scheme (black on white otherwise): the panel colours.
void SetSchemeTextColours(Dc& dc);

}  // namespace dl
