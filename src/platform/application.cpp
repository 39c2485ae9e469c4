#include "platform/application.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <string>

// After the toolkit's headers: Xlib's macros (None, Bool, ...) would clash with them.
#include <X11/Xlib.h>

namespace dl {

struct Application::Impl {
    std::unique_ptr<QApplication> app;
};

Application::Application(int& argc, char** argv, bool headless) : impl_(std::make_unique<Impl>()) {
    if (headless) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The toolkit wants a private runtime folder; give it the one it would fall back to, quietly.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) {
        std::string dir = "/tmp/runtime-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
        struct stat st {};
        if (stat(dir.c_str(), &st) == 0 && st.st_uid == getuid() && (st.st_mode & 0777) == 0700)
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    impl_->app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName("dewlark");
}

Application::~Application() = default;

bool Application::display_available(std::string& why) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string chosen = platform ? platform : "";
    // Off-screen, VNC and the like need no display; Wayland is left to the toolkit.
    if (!chosen.empty() && chosen.rfind("xcb", 0) != 0) return true;
    if (chosen.empty() && std::getenv("WAYLAND_DISPLAY") && *std::getenv("WAYLAND_DISPLAY")) return true;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        why = "no display (DISPLAY is not set)";
        return false;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        why = std::string("cannot open display ") + display;
        return false;
    }
    XCloseDisplay(d);
    return true;
}

}  // namespace dl
