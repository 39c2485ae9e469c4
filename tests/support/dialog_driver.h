#pragma once
// Drives the program's modal dialogs as a user would: the test says what to do once the dialog
// shows, then gives the command that opens it.
#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/dialog.h"
#include "platform/dialog_qt.h"

namespace dl_test {

// Runs `act` on the next dialog to show, from its own loop.
inline void when_dialog_shows(std::function<void(dl::Dialog&)> act) {
    auto* timer = new QTimer;
    auto remaining = std::make_shared<int>(300);
    QObject::connect(timer, &QTimer::timeout, [timer, act, remaining] {
        dl::Dialog* d = dl::Dialog::showing();
        if (d && dl::dialog_window(*d)->isVisible()) {
            timer->stop();
            timer->deleteLater();
            // Mnemonics and shortcuts reach the active window only.
            QWidget* w = dl::dialog_window(*d);
            QApplication::setActiveWindow(w);
            w->activateWindow();
            (void)QTest::qWaitForWindowActive(w);
            act(*d);
        } else if (--*remaining == 0) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no dialog showed";
        }
    });
    timer->start(10);
}

inline QWidget* control(dl::Dialog& d, int id) { return dl::dialog_control(d, id); }

// A mnemonic (Alt+letter): a button's is pressed and let go a moment later, as the user sees it.
inline void mnemonic(dl::Dialog& d, Qt::Key k) {
    QWidget* w = QApplication::focusWidget();
    QTest::keyClick(w ? w : dl::dialog_window(d), k, Qt::AltModifier);
    QTest::qWait(150);
}

inline void click(dl::Dialog& d, int id) {
    auto* b = qobject_cast<QAbstractButton*>(control(d, id));
    ASSERT_NE(b, nullptr) << "no button " << id;
    QTest::mouseClick(b, Qt::LeftButton);
}

// A key as the focused control of the dialog gets it.
inline void key(dl::Dialog& d, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* w = QApplication::focusWidget();
    QTest::keyClick(w ? w : dl::dialog_window(d), k, mods);
}

}  // namespace dl_test
