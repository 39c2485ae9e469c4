#include "platform/pointer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dl {

namespace {

std::function<void(int, int, int)> g_hook;

// The X connection of the injections, opened on first use; null when injection is impossible.
Display* injection_display() {
    static bool tried = false;
    static Display* display = nullptr;
    if (tried) return display;
    tried = true;
    const char* why = nullptr;
    display = XOpenDisplay(nullptr);
    if (!display) {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        why = wayland && *wayland ? "this Wayland session offers no X display"
                                  : "there is no X display";
    } else {
        int event_base = 0, error_base = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(display, &event_base, &error_base, &major, &minor)) {
            why = "the X server lacks the XTest extension";
            XCloseDisplay(display);
            display = nullptr;
        }
    }
    if (why) std::fprintf(stderr, "dewlark: voice pointer disabled: %s\n", why);
    return display;
}

}  // namespace

void set_pointer_event_hook(std::function<void(int flags, int dx, int dy)> hook) { g_hook = std::move(hook); }

void inject_mouse_event(int flags, int dx, int dy) {
    if (g_hook) {
        g_hook(flags, dx, dy);
        return;
    }
    Display* d = injection_display();
    if (!d) return;
    if (flags & kMouseMove) XTestFakeRelativeMotionEvent(d, dx, dy, CurrentTime);
    if (flags & kMouseLeftDown) XTestFakeButtonEvent(d, 1, True, CurrentTime);
    if (flags & kMouseLeftUp) XTestFakeButtonEvent(d, 1, False, CurrentTime);
    if (flags & kMouseRightDown) XTestFakeButtonEvent(d, 3, True, CurrentTime);
    if (flags & kMouseRightUp) XTestFakeButtonEvent(d, 3, False, CurrentTime);
    XFlush(d);
}

}  // namespace dl
