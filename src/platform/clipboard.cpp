#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace dl {

void set_clipboard_text(const std::string& utf8) {
    if (QClipboard* c = QGuiApplication::clipboard()) c->setText(QString::fromStdString(utf8));
}

std::string clipboard_text() {
    QClipboard* c = QGuiApplication::clipboard();
    return c ? c->text().toStdString() : std::string();
}

}  // namespace dl
