#include "platform/system.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QUrl>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace dl {

namespace {

ClockHook g_clock;

}  // namespace

uint32_t time_get_time() {
    if (g_clock.now) return g_clock.now();
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleep_ms(int ms) {
    if (g_clock.sleep) return g_clock.sleep(ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void set_clock_hook(ClockHook hook) { g_clock = std::move(hook); }

// The batch commands run a QGuiApplication: qApp, a cast to QApplication, would be wrong there.
bool shift_down() { return QCoreApplication::instance() && (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier); }

bool japanese_locale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) return v[0] == 'j' && v[1] == 'a' && (v[2] == 0 || v[2] == '_' || v[2] == '.' || v[2] == '@');
    }
    return false;
}

Rgb system_colour(SysColour which) {
    if (!QCoreApplication::instance()) {
        switch (which) {
            case SysColour::Window: return kWhite;
            case SysColour::WindowText: return kBlack;
            case SysColour::ButtonFace: return rgb(0xC0C0C0);
            case SysColour::ButtonText: return kBlack;
        }
    }
    QPalette p = QApplication::palette();
    QColor c;
    switch (which) {
        case SysColour::Window: c = p.color(QPalette::Base); break;
        case SysColour::WindowText: c = p.color(QPalette::Text); break;
        case SysColour::ButtonFace: c = p.color(QPalette::Button); break;
        case SysColour::ButtonText: c = p.color(QPalette::ButtonText); break;
    }
    return {uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())};
}

int screen_width() {
    if (!QCoreApplication::instance()) return 1920;
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 1920;
}

bool open_in_browser(const std::string& path) {
    if (!QCoreApplication::instance() || !QFileInfo::exists(QString::fromStdString(path))) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

std::string data_dir() {
    if (const char* d = std::getenv("DEWLARK_DATA_DIR"); d && *d) return d;
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString dir = QFileInfo(exe).absolutePath();
    // Installed: share/dewlark beside bin/. Run from a build folder: the link the build puts beside the
    // program (tests one folder down), so no path of the source tree is built into the program.
    for (const QString& candidate : {dir + "/../share/dewlark", dir + "/dewlark-data", dir + "/../dewlark-data"}) {
        if (QFileInfo::exists(candidate + "/kijun.wav")) return QFileInfo(candidate).canonicalFilePath().toStdString();
    }
    // Nothing there: the tone is silent and the help page says it is missing.
    return QDir::cleanPath(dir + "/../share/dewlark").toStdString();
}

}  // namespace dl
