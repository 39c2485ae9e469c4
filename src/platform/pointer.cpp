#include "platform/pointer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dl {

namespace {

std::function<void(int, int, int)> g_hook;

// The X connection of the injections, opened on first use; without one, why not.
struct Injection {
    Display* display = nullptr;
    const char* why = nullptr;
};

Injection open_injection() {
    Injection i;
    i.display = XOpenDisplay(nullptr);
    if (!i.display) {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        i.why = wayland && *wayland ? "this Wayland session offers no X display" : "there is no X display";
        return i;
    }
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(i.display, &event_base, &error_base, &major, &minor)) {
        i.why = "the X server lacks the XTest extension";
        XCloseDisplay(i.display);
        i.display = nullptr;
    }
    return i;
}

const Injection& injection() {
    static const Injection i = open_injection();
    return i;
}

}  // namespace

void set_pointer_event_hook(std::function<void(int flags, int dx, int dy)> hook) { g_hook = std::move(hook); }

bool pointer_events_possible() { return g_hook || injection().display; }

void inject_mouse_event(int flags, int dx, int dy) {
    if (g_hook) {
        g_hook(flags, dx, dy);
        return;
    }
    Display* d = injection().display;
    if (!d) {
        static bool said = false;
        if (!said) std::fprintf(stderr, "dewlark: voice pointer disabled: %s\n", injection().why);
        said = true;
        return;
    }
    if (flags & kMouseMove) XTestFakeRelativeMotionEvent(d, dx, dy, CurrentTime);
    if (flags & kMouseLeftDown) XTestFakeButtonEvent(d, 1, True, CurrentTime);
    if (flags & kMouseLeftUp) XTestFakeButtonEvent(d, 1, False, CurrentTime);
    if (flags & kMouseRightDown) XTestFakeButtonEvent(d, 3, True, CurrentTime);
    if (flags & kMouseRightUp) XTestFakeButtonEvent(d, 3, False, CurrentTime);
    XFlush(d);
}

}  // namespace dl
