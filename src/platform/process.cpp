#include "platform/process.h"

#include <sched.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace dl {

namespace {
std::function<void(int)> g_end_hook;
}

void set_end_process_hook(std::function<void(int)> hook) { g_end_hook = std::move(hook); }

void end_process(int code) {
    if (g_end_hook) g_end_hook(code);
    std::fflush(nullptr);
    std::_Exit(code);
}

void set_high_priority(bool high) {
    // Best effort: an ordinary user may not raise its priority, and that is fine.
    if (high) {
        if (setpriority(PRIO_PROCESS, 0, -10) != 0) {
            // kept as it is
        }
    } else {
        if (getpriority(PRIO_PROCESS, 0) < 0) {
            if (setpriority(PRIO_PROCESS, 0, 0) != 0) {
                // kept as it is
            }
        }
    }
}

}  // namespace dl
