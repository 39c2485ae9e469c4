#include "platform/headless_app.h"

#include <QGuiApplication>
#include <cstdlib>

namespace dl {

void ensure_headless_application() {
    if (QCoreApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "dewlark";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

}  // namespace dl
