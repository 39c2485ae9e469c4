#pragma once
#include <functional>

namespace dl {

// Ends the process at once with `code`, without writing the settings. Tests install a hook
// (which may throw) to observe it.
[[noreturn]] void end_process(int code);
void set_end_process_hook(std::function<void(int)> hook);

// Real-time scheduling while streaming, normal otherwise; silently kept when refused.
void set_high_priority(bool high);

}  // namespace dl
