#pragma once
// Drives the program's modal dialogs as a user would: the test says what to do once the dialog
// shows, then gives the command that opens it.
#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/dialog.h"
#include "platform/dialog_qt.h"
#include "support/test_support.h"

namespace dl_test {

// Runs `act` on the next dialog to show, from its own loop.
inline void when_dialog_shows(std::function<void(dl::Dialog&)> act) {
    auto* timer = new QTimer;
    const QDeadlineTimer patience(kPatienceMs);
    QObject::connect(timer, &QTimer::timeout, [timer, act, patience] {
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
        } else if (patience.hasExpired()) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no dialog showed";
        }
    });
    timer->start(10);
}

inline QWidget* control(dl::Dialog& d, int id) { return dl::dialog_control(d, id); }

// A mnemonic (Alt+letter): a button's is pressed and let go a moment later (on a timer), as the user
// sees it; this returns once it has been let go, and so clicked.
inline void mnemonic(dl::Dialog& d, Qt::Key k) {
    QWidget* w = QApplication::focusWidget();
    QTest::keyClick(w ? w : dl::dialog_window(d), k, Qt::AltModifier);
    const QPointer<QWidget> window = dl::dialog_window(d);
    const bool let_go = QTest::qWaitFor(
        [&] {
            if (!window) return true;
            for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
                if (b->isDown()) return false;
            return true;
        },
        kPatienceMs);
    EXPECT_TRUE(let_go) << "a button stayed down";
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
