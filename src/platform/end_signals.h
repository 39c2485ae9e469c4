#pragma once
// SIGINT and SIGTERM end the window's run as its Exit command does, rather than killing it with its
// settings unsaved.
#include <functional>
#include <memory>

namespace dl {

class EndSignals {
public:
    // Catches both signals from here on; one that arrives waits for listen().
    EndSignals();
    // The previous handlers come back.
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // The first signal calls `on_signal` on the UI thread, from the outermost event loop, once any
    // modal dialog or message box open then has been cancelled. A second signal ends the process at
    // once, as it would have without this.
    void listen(std::function<void()> on_signal);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace dl
