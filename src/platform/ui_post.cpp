#include "platform/ui_post.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

namespace dl {

void post_to_ui(std::function<void()> fn) {
    if (!QCoreApplication::instance()) return;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

void run_ui_events_for(int ms) {
    if (!QCoreApplication::instance()) return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace dl
