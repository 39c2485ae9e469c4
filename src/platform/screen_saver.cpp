#include "platform/screen_saver.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <cstdint>

namespace dl {

namespace {
uint32_t g_cookie = 0;
bool g_inhibited = false;

QDBusInterface* screen_saver() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return nullptr;
    static QDBusInterface* iface = nullptr;
    if (!iface)
        iface = new QDBusInterface("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                                   "org.freedesktop.ScreenSaver", bus);
    return iface->isValid() ? iface : nullptr;
}
}  // namespace

void inhibit_screen_saver(bool on) {
    if (on == g_inhibited) return;
    QDBusInterface* iface = screen_saver();
    if (!iface) return;
    if (on) {
        QDBusReply<uint32_t> reply = iface->call("Inhibit", "dewlark", "Monitoring the sound input");
        if (!reply.isValid()) return;
        g_cookie = reply.value();
        g_inhibited = true;
    } else {
        iface->call("UnInhibit", g_cookie);
        g_inhibited = false;
    }
}

}  // namespace dl
