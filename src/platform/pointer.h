#pragma once
#include <functional>

namespace dl {

enum : int {
    kMouseMove = 1,
    kMouseLeftDown = 2,
    kMouseLeftUp = 4,
    kMouseRightDown = 8,
    kMouseRightUp = 16,
};

// Injects a relative pointer move or button event into the desktop. Where that is impossible
// (no X display, Wayland) it says so once on standard error and does nothing.
void inject_mouse_event(int flags, int dx, int dy);

// Whether injected events reach anything: a hook, or a desktop that takes them. Asks silently.
bool pointer_events_possible();

// With a hook installed (tests) the events go to the hook instead of the desktop; an empty
// function removes it.
void set_pointer_event_hook(std::function<void(int flags, int dx, int dy)> hook);

}  // namespace dl
