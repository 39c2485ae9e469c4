#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "platform/main_window_qt.h"

namespace dl {

namespace {
MessageBoxHook g_hook;
}

void set_message_box_hook(MessageBoxHook hook) { g_hook = std::move(hook); }
void message_box(const MessageBoxRequest& r) {
    if (g_hook) {
        g_hook(r);
        return;
    }
    if (!QCoreApplication::instance()) return;
    // An open dialog owns the boxes it causes.
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* owner = r.owned ? (modal ? modal : main_window_widget()) : nullptr;
    QMessageBox box(owner);
    box.setWindowTitle(r.caption.empty() ? QStringLiteral("dewlark") : QString::fromStdString(r.caption));
    // Texts may name files, whose names are never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(r.text));
    box.setIcon(r.icon == MbIcon::Exclamation ? QMessageBox::Warning
                : r.icon == MbIcon::Information ? QMessageBox::Information
                                                 : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace dl
