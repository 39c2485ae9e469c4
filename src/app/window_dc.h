#pragma once
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

// White text on black under the dark scheme (black on white otherwise): the panel colours.
void SetSchemeTextColours(Dc& dc);

}  // namespace dl
