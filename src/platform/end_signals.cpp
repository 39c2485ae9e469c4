#include "platform/end_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <csignal>

#include "platform/main_window.h"

namespace dl {

namespace {

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_int_caught = 0, g_term_caught = 0;

void on_end_signal(int sig) {
    // Only what is safe in a handler: the next signal of either kind is no longer caught.
    if (g_int_caught) std::signal(SIGINT, SIG_DFL);
    if (g_term_caught) std::signal(SIGTERM, SIG_DFL);
    const char byte = char(sig);
    const int saved = errno;
    if (::write(g_pipe[1], &byte, 1) < 0) {
        // Full: a signal is already waiting.
    }
    errno = saved;
}

}  // namespace

struct EndSignals::Impl {
    struct sigaction old_int {}, old_term {};
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void()> on_signal;
    bool taken = false;

    // Dialogs run event loops of their own: each is cancelled, and the call waits for the main loop.
    void deliver() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            else modal->close();
        }
        // A box shown while the window starts runs before the main loop: the call waits for it.
        if (QApplication::activeModalWidget() || QThread::currentThread()->loopLevel() > 1 || !main_loop_running()) {
            QTimer::singleShot(20, [this] { deliver(); });
            return;
        }
        if (on_signal) on_signal();
    }
};

EndSignals::EndSignals() : impl_(std::make_unique<Impl>()) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction sa {};
    sa.sa_handler = on_end_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &impl_->old_int);
    sigaction(SIGTERM, &sa, &impl_->old_term);
    // A signal the program was started to ignore (a background job of a script) stays ignored.
    if (impl_->old_int.sa_handler == SIG_IGN) sigaction(SIGINT, &impl_->old_int, nullptr);
    else g_int_caught = 1;
    if (impl_->old_term.sa_handler == SIG_IGN) sigaction(SIGTERM, &impl_->old_term, nullptr);
    else g_term_caught = 1;
}

EndSignals::~EndSignals() {
    impl_->notifier.reset();
    if (g_pipe[0] < 0) return;
    sigaction(SIGINT, &impl_->old_int, nullptr);
    sigaction(SIGTERM, &impl_->old_term, nullptr);
}

void EndSignals::listen(std::function<void()> on_signal) {
    if (g_pipe[0] < 0 || !QCoreApplication::instance()) return;
    impl_->on_signal = std::move(on_signal);
    impl_->notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        if (impl_->taken) return;
        impl_->taken = true;
        impl_->deliver();
    });
}

}  // namespace dl
