#pragma once
#include <functional>

namespace dl {

// Runs `fn` on the user-interface thread from the event loop; callable from any thread.
// Calls posted from one thread run in the order they were posted.
void post_to_ui(std::function<void()> fn);

// Runs the event loop of the user-interface thread for about `ms` milliseconds (batch runs without
// a window).
void run_ui_events_for(int ms);

}  // namespace dl
