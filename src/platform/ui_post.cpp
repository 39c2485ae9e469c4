#include "platform/ui_post.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace dl {

void post_to_ui(std::function<void()> fn) {
    if (!qApp) return;
    QMetaObject::invokeMethod(qApp, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

}  // namespace dl
