#include "platform/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QUrl>
#include <QWindowStateChangeEvent>
#include <map>

#include "platform/main_window_qt.h"
#include "platform/png_file_qt.h"
#include "platform/surface_impl.h"

namespace dl {

namespace {

MainWindow* g_instance = nullptr;

Key key_of(int qt_key) {
    switch (qt_key) {
        case Qt::Key_F1: return Key::F1;
        case Qt::Key_Tab: return Key::Tab;
        case Qt::Key_Up: return Key::Up;
        case Qt::Key_Down: return Key::Down;
        case Qt::Key_R: return Key::R;
        case Qt::Key_G: return Key::G;
        case Qt::Key_P: return Key::P;
        case Qt::Key_S: return Key::S;
        case Qt::Key_O: return Key::O;
        case Qt::Key_L: return Key::L;
        case Qt::Key_Space: return Key::Space;
        case Qt::Key_Backspace: return Key::Backspace;
        case Qt::Key_A: return Key::A;
        case Qt::Key_M: return Key::M;
        case Qt::Key_N: return Key::N;
        case Qt::Key_W: return Key::W;
        case Qt::Key_T: return Key::T;
        case Qt::Key_C: return Key::C;
        case Qt::Key_E: return Key::E;
        case Qt::Key_H: return Key::H;
        default: return Key::Other;
    }
}

class ClientArea : public QWidget {
public:
    ClientArea(MainWindow::Impl& impl, QWidget* parent) : QWidget(parent), impl_(impl) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    QSize sizeHint() const override;

private:
    MainWindow::Impl& impl_;
};

class TopWindow : public QMainWindow {
public:
    explicit TopWindow(MainWindow::Impl& impl) : impl_(impl) { setAcceptDrops(false); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    MainWindow::Impl& impl_;
};

}  // namespace

struct MainWindow::Impl : public QObject {
    MainWindow* owner = nullptr;
    WindowHandler* handler = nullptr;
    TopWindow* top = nullptr;
    ClientArea* client = nullptr;
    Surface surface{1, 1};
    std::map<int, QPushButton*> buttons;
    std::map<int, QAction*> actions;
    std::map<int, QMenu*> submenus;
    std::vector<QMenu*> menus;
    std::map<int, QTimer*> timers;
    bool paint_pending = false;
    bool destroyed = false;
    bool drops = false;
    bool busy = false;
    bool applying_state = false;
    Qt::WindowStates last_state = Qt::WindowNoState;
    QSize wanted_client{1, 1};  // the client size the layout asked for last
    std::function<void()> screen_paint_listener;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void report_state_change(Qt::WindowStates before, Qt::WindowStates now);
    void run_paint();
    void fill_submenu(int id);
};

namespace {

void ClientArea::paintEvent(QPaintEvent*) {
    if (devicePixelRatioF() != impl_.surface.scale() && !impl_.destroyed) {
        // Another screen: the back buffer is made anew at its ratio and painted at once.
        impl_.surface.set_scale(devicePixelRatioF());
        impl_.owner->invalidate();
        impl_.owner->update_now();
    }
    // The image has the widget's ratio, so it lands 1:1 on the device pixels (the paint's clip bounds it).
    QPainter p(this);
    p.drawImage(QPointF(0, 0), impl_.surface.impl().image);
    impl_.surface.acknowledge_changes();
    if (impl_.screen_paint_listener) impl_.screen_paint_listener();
}

void ClientArea::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && !impl_.destroyed)
        impl_.handler->on_lbutton_down(int(e->position().x()), int(e->position().y()));
    QWidget::mousePressEvent(e);
}

void ClientArea::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && !impl_.destroyed)
        impl_.handler->on_lbutton_up(int(e->position().x()), int(e->position().y()));
    QWidget::mouseReleaseEvent(e);
}

void ClientArea::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && !impl_.destroyed)
        impl_.handler->on_lbutton_double(int(e->position().x()), int(e->position().y()));
    QWidget::mouseDoubleClickEvent(e);
}

void ClientArea::mouseMoveEvent(QMouseEvent* e) {
    if (!impl_.destroyed) impl_.handler->on_mouse_move(int(e->position().x()), int(e->position().y()));
    QWidget::mouseMoveEvent(e);
}

void ClientArea::leaveEvent(QEvent* e) {
    if (!impl_.destroyed) impl_.handler->on_mouse_leave();
    QWidget::leaveEvent(e);
}

// The user or the window manager sized the window: the layout follows what the client area got.
void ClientArea::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const QSize s = e->size();
    if (impl_.destroyed || (impl_.top->windowState() & Qt::WindowMinimized)) return;
    if (s.width() != impl_.surface.width() || s.height() != impl_.surface.height())
        impl_.handler->on_client_resize(s.width(), s.height());
}

QSize ClientArea::sizeHint() const { return impl_.wanted_client; }

void TopWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    impl_.owner->destroy();
}

void TopWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::WindowStateChange && !impl_.applying_state && !impl_.destroyed) {
        const Qt::WindowStates before = impl_.last_state;
        impl_.last_state = windowState();
        impl_.report_state_change(before, impl_.last_state);
    } else if ((e->type() == QEvent::PaletteChange || e->type() == QEvent::ApplicationPaletteChange) &&
               !impl_.destroyed) {
        impl_.owner->invalidate();
    } else if ((e->type() == QEvent::FontChange || e->type() == QEvent::ApplicationFontChange) &&
               !impl_.destroyed) {
        impl_.handler->on_settings_change();
    } else if (e->type() == QEvent::ActivationChange && isActiveWindow() && !impl_.destroyed) {
        impl_.handler->on_set_focus();
    }
    QMainWindow::changeEvent(e);
}

void TopWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (impl_.drops && e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TopWindow::dropEvent(QDropEvent* e) {
    if (!impl_.drops) return;
    std::vector<std::string> paths;
    for (const QUrl& u : e->mimeData()->urls())
        if (u.isLocalFile()) paths.push_back(u.toLocalFile().toStdString());
    e->acceptProposedAction();
    impl_.handler->on_drop_files(paths);
}

}  // namespace

bool MainWindow::Impl::eventFilter(QObject* watched, QEvent* event) {
    if (destroyed || event->type() != QEvent::KeyPress) return false;
    // Modal dialogs run their own loop: the main window's shortcuts do nothing there.
    if (QApplication::activeModalWidget()) return false;
    QWidget* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != top) return false;
    auto* ke = static_cast<QKeyEvent*>(event);
    Key key = key_of(ke->key());
    // Only the focus widget's delivery counts, so a key is offered once.
    if (w != QApplication::focusWidget() && !(QApplication::focusWidget() == nullptr && w == top)) return false;
    const KeyModifiers mods{ke->modifiers().testFlag(Qt::ControlModifier), ke->modifiers().testFlag(Qt::ShiftModifier)};
    if (handler->on_key_filter(key, mods)) return true;
    for (auto& [id, b] : buttons)
        if (b == w && handler->on_button_key(id, key)) return true;
    return false;
}

// A window leaving its icon is restored to the state it was minimised from, and only then, when the
// window manager put it elsewhere, maximised or restored; the handler hears each step.
void MainWindow::Impl::report_state_change(Qt::WindowStates before, Qt::WindowStates now) {
    const bool was_minimised = before.testFlag(Qt::WindowMinimized), minimised = now.testFlag(Qt::WindowMinimized);
    const bool was_maximised = before.testFlag(Qt::WindowMaximized), maximised = now.testFlag(Qt::WindowMaximized);
    if (minimised) {
        if (!was_minimised) handler->on_syscommand(SysCommand::Minimize);
        return;
    }
    if (was_minimised) handler->on_syscommand(SysCommand::Restore);
    if (maximised && !was_maximised) handler->on_syscommand(SysCommand::Maximize);
    else if (!maximised && was_maximised) handler->on_syscommand(SysCommand::Restore);
}

void MainWindow::Impl::fill_submenu(int id) {
    QMenu* menu = submenus[id];
    menu->clear();
    qDeleteAll(menu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
    if (destroyed) return;
    std::map<int, QActionGroup*> groups;
    const std::vector<SubmenuEntry> entries = handler->on_submenu_show(id);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].separator_before) menu->addSeparator();
        const QString text = QString::fromStdString(entries[i].text);
        // Device names may hold "&": shown as they are, never as a mnemonic.
        QAction* a = menu->addAction(entries[i].command || entries[i].mnemonic ? text : QString(text).replace("&", "&&"));
        if (!entries[i].command) {
            a->setCheckable(true);
            a->setChecked(entries[i].checked);
            if (!entries[i].toggle) {
                QActionGroup*& group = groups[entries[i].group];
                if (!group) group = new QActionGroup(menu);
                group->addAction(a);
            }
        }
        const int index = int(i);
        QObject::connect(a, &QAction::triggered, top, [this, id, index] {
            if (!destroyed) handler->on_submenu_choice(id, index);
        });
    }
}

void MainWindow::Impl::run_paint() {
    paint_pending = false;
    if (destroyed) return;
    Dc dc(surface);
    handler->on_paint(dc);
    client->update();
}

MainWindow::MainWindow(WindowHandler& handler, const std::vector<MenuBarEntry>& menus, int client_width,
                       int client_height)
    : impl_(std::make_unique<Impl>()) {
    g_instance = this;
    Impl& m = *impl_;
    m.owner = this;
    m.handler = &handler;
    m.top = new TopWindow(m);
    m.top->setAttribute(Qt::WA_DeleteOnClose, false);
    m.client = new ClientArea(m, m.top);
    m.top->setCentralWidget(m.client);
    m.surface.set_scale(m.client->devicePixelRatioF());
    m.surface.set_change_listener([&m] {
        if (m.client) m.client->update();
    });
    for (const MenuBarEntry& entry : menus) {
        QMenu* menu = m.top->menuBar()->addMenu(QString::fromStdString(entry.title));
        m.menus.push_back(menu);
        for (const MenuItem& item : entry.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QString text = QString::fromStdString(item.text);
            QString shortcut;
            if (int tab = text.indexOf('\t'); tab >= 0) {
                shortcut = text.mid(tab + 1);
                text = text.left(tab);
            }
            if (item.submenu) {
                QMenu* sub = menu->addMenu(text);
                const int id = item.id;
                QObject::connect(sub, &QMenu::aboutToShow, m.top, [&m, id] { m.fill_submenu(id); });
                // Grayed through its item alone, so enable_menu brings the whole submenu back.
                sub->menuAction()->setEnabled(!item.grayed);
                m.submenus[id] = sub;
                m.actions[id] = sub->menuAction();
                continue;
            }
            QAction* a = menu->addAction(text);
            if (!shortcut.isEmpty()) a->setText(text + "\t" + shortcut);
            a->setCheckable(false);
            a->setEnabled(!item.grayed);
            int id = item.id;
            QObject::connect(a, &QAction::triggered, m.top, [&m, id] {
                if (!m.destroyed) m.handler->on_command(id, 0);
            });
            m.actions[id] = a;
        }
    }
    qApp->installEventFilter(&m);
    set_client_size(client_width, client_height);
}

MainWindow::~MainWindow() {
    if (g_instance == this) g_instance = nullptr;
    qApp->removeEventFilter(impl_.get());
    for (auto& [id, t] : impl_->timers) delete t;
    impl_->client = nullptr;
    delete impl_->top;
}

MainWindow* MainWindow::instance() { return g_instance; }

QWidget* main_window_widget() { return g_instance ? g_instance->impl().top : nullptr; }

void MainWindow::show(ShowCommand command) {
    Impl& m = *impl_;
    m.applying_state = true;
    if (command == ShowCommand::Minimized) m.top->showMinimized();
    else if (command == ShowCommand::Maximized) m.top->showMaximized();
    else m.top->show();
    m.last_state = m.top->windowState();
    m.applying_state = false;
    invalidate();
}

bool MainWindow::visible() const { return impl_->top->isVisible(); }
void MainWindow::set_title(const std::string& title) { impl_->top->setWindowTitle(QString::fromStdString(title)); }
std::string MainWindow::title() const { return impl_->top->windowTitle().toStdString(); }

void MainWindow::set_client_size(int width, int height) {
    Impl& m = *impl_;
    m.surface.resize(width, height);
    m.wanted_client = QSize(width, height);
    m.client->updateGeometry();
    // A maximised or full-screen window keeps the size the window manager gave it.
    if (m.top->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    if (!m.top->isVisible()) m.top->resize(m.top->sizeHint());
    else if (m.client->size() != m.wanted_client) m.top->resize(m.top->size() - m.client->size() + m.wanted_client);
}

void MainWindow::set_least_client_size(int width, int height) {
    impl_->client->setMinimumSize(width, height);
}

bool MainWindow::maximised() const {
    return impl_->top->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
}

int MainWindow::client_width() const { return impl_->surface.width(); }
int MainWindow::client_height() const { return impl_->surface.height(); }
Surface& MainWindow::surface() { return impl_->surface; }

void MainWindow::invalidate() {
    Impl& m = *impl_;
    if (m.paint_pending || m.destroyed) return;
    m.paint_pending = true;
    QMetaObject::invokeMethod(m.top, [&m] {
        if (m.paint_pending) m.run_paint();
    }, Qt::QueuedConnection);
}

void MainWindow::update_now() {
    if (impl_->paint_pending) impl_->run_paint();
}

void MainWindow::show_now() {
    Impl& m = *impl_;
    // Not the pending paint: that would draw the whole area afresh, over what is to be shown.
    if (m.destroyed || !m.client) return;
    m.client->repaint();
}

void MainWindow::set_screen_paint_listener(std::function<void()> listener) {
    impl_->screen_paint_listener = std::move(listener);
}

void MainWindow::create_button(int id, const std::string& text, int x, int y, int width, int height, bool enabled) {
    Impl& m = *impl_;
    auto* b = new QPushButton(QString::fromStdString(text), m.client);
    b->setGeometry(x, y, width, height);
    b->setEnabled(enabled);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, m.top, [&m, id] {
        if (!m.destroyed) m.handler->on_command(id, 0);
    });
    b->show();
    m.buttons[id] = b;
}

void MainWindow::move_button(int id, int x, int y, int width, int height) {
    if (auto it = impl_->buttons.find(id); it != impl_->buttons.end()) {
        it->second->setGeometry(x, y, width, height);
        it->second->update();
    }
}

void MainWindow::set_button_text(int id, const std::string& text) {
    if (auto it = impl_->buttons.find(id); it != impl_->buttons.end())
        it->second->setText(QString::fromStdString(text));
}

std::string MainWindow::button_text(int id) const {
    auto it = impl_->buttons.find(id);
    return it == impl_->buttons.end() ? std::string() : it->second->text().toStdString();
}

void MainWindow::enable_button(int id, bool enabled) {
    if (auto it = impl_->buttons.find(id); it != impl_->buttons.end()) it->second->setEnabled(enabled);
}

bool MainWindow::button_enabled(int id) const {
    auto it = impl_->buttons.find(id);
    return it != impl_->buttons.end() && it->second->isEnabled();
}

bool MainWindow::has_button(int id) const { return impl_->buttons.count(id) != 0; }

void MainWindow::focus_button(int id) {
    if (auto it = impl_->buttons.find(id); it != impl_->buttons.end()) it->second->setFocus(Qt::OtherFocusReason);
}

int MainWindow::focused_button() const {
    QWidget* f = QApplication::focusWidget();
    for (auto& [id, b] : impl_->buttons)
        if (b == f || b->hasFocus()) return id;
    return 0;
}

void MainWindow::check_menu(int id, bool checked) {
    if (auto it = impl_->actions.find(id); it != impl_->actions.end()) {
        it->second->setCheckable(true);
        it->second->setChecked(checked);
    }
}

bool MainWindow::menu_checked(int id) const {
    auto it = impl_->actions.find(id);
    return it != impl_->actions.end() && it->second->isChecked();
}

void MainWindow::enable_menu(int id, bool enabled) {
    if (auto it = impl_->actions.find(id); it != impl_->actions.end()) it->second->setEnabled(enabled);
}

bool MainWindow::menu_enabled(int id) const {
    auto it = impl_->actions.find(id);
    return it != impl_->actions.end() && it->second->isEnabled();
}

void MainWindow::set_menu_text(int id, const std::string& text) {
    if (auto it = impl_->actions.find(id); it != impl_->actions.end())
        it->second->setText(QString::fromStdString(text));
}

std::string MainWindow::menu_text(int id) const {
    auto it = impl_->actions.find(id);
    return it == impl_->actions.end() ? std::string() : it->second->text().toStdString();
}

void MainWindow::set_menu_title(int index, const std::string& text) {
    if (index >= 0 && index < int(impl_->menus.size())) impl_->menus[index]->setTitle(QString::fromStdString(text));
}

std::string MainWindow::menu_title(int index) const {
    if (index < 0 || index >= int(impl_->menus.size())) return {};
    return impl_->menus[index]->title().toStdString();
}

void MainWindow::trigger_menu(int id) {
    if (auto it = impl_->actions.find(id); it != impl_->actions.end() && it->second->isEnabled())
        it->second->trigger();
}

std::vector<std::string> MainWindow::open_submenu(int id) {
    std::vector<std::string> texts;
    auto it = impl_->submenus.find(id);
    if (it == impl_->submenus.end()) return texts;
    emit it->second->aboutToShow();
    for (QAction* a : it->second->actions())
        if (!a->isSeparator()) texts.push_back(a->text().replace("&&", "&").toStdString());
    return texts;
}

void MainWindow::choose_in_submenu(int id, int index) {
    auto it = impl_->submenus.find(id);
    if (it == impl_->submenus.end()) return;
    QList<QAction*> actions = it->second->actions();
    actions.removeIf([](QAction* a) { return a->isSeparator(); });
    if (index >= 0 && index < actions.size()) actions[index]->trigger();
}

void MainWindow::accept_drops(bool accept) {
    impl_->drops = accept;
    impl_->top->setAcceptDrops(accept);
}

bool MainWindow::accepts_drops() const { return impl_->drops; }
bool MainWindow::is_active() const { return impl_->top->isActiveWindow(); }

void MainWindow::set_timer(int id, int period_ms) {
    Impl& m = *impl_;
    QTimer*& t = m.timers[id];
    if (!t) {
        t = new QTimer();
        QObject::connect(t, &QTimer::timeout, m.top, [&m, id] {
            if (!m.destroyed) m.handler->on_timer(id);
        });
    }
    t->start(std::max(period_ms, 1));
}

void MainWindow::kill_timer(int id) {
    if (auto it = impl_->timers.find(id); it != impl_->timers.end() && it->second) it->second->stop();
}

bool MainWindow::has_timer(int id) const {
    auto it = impl_->timers.find(id);
    return it != impl_->timers.end() && it->second && it->second->isActive();
}

void MainWindow::post_wave_out_done(int header) {
    Impl* m = impl_.get();
    QMetaObject::invokeMethod(m->top, [m, header] {
        if (!m->destroyed) m->handler->on_wave_out_done(header);
    }, Qt::QueuedConnection);
}

void MainWindow::post_wave_in_data(int header) {
    Impl* m = impl_.get();
    QMetaObject::invokeMethod(m->top, [m, header] {
        if (!m->destroyed) m->handler->on_wave_in_data(header);
    }, Qt::QueuedConnection);
}

void MainWindow::set_busy_cursor(bool busy) {
    if (busy == impl_->busy) return;
    impl_->busy = busy;
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

void MainWindow::set_icon(const std::string& png_path) {
    QIcon icon(QString::fromStdString(png_path));
    if (!icon.isNull()) impl_->top->setWindowIcon(icon);
}

bool MainWindow::save_screenshot(const std::string& png_path, std::string* error) {
    std::string why;
    const bool ok = write_png_file(impl_->top->grab().toImage(), png_path, why);
    if (error) *error = why;
    return ok;
}

void MainWindow::system_command(SysCommand command) {
    Impl& m = *impl_;
    m.handler->on_syscommand(command);
    m.applying_state = true;
    if (command == SysCommand::Minimize) m.top->showMinimized();
    else if (command == SysCommand::Maximize) m.top->showMaximized();
    else m.top->showNormal();
    m.last_state = m.top->windowState();
    m.applying_state = false;
}

void MainWindow::destroy() {
    Impl& m = *impl_;
    if (m.destroyed) return;
    m.handler->on_destroy();
    m.destroyed = true;
    for (auto& [id, t] : m.timers)
        if (t) t->stop();
    set_busy_cursor(false);
    m.top->hide();
}

bool MainWindow::destroyed() const { return impl_->destroyed; }

namespace {
bool g_main_loop_running = false;
}  // namespace

int run_message_loop() {
    g_main_loop_running = true;
    const int code = QApplication::exec();
    g_main_loop_running = false;
    return code;
}

bool main_loop_running() { return g_main_loop_running; }
void post_quit(int code) {
    QMetaObject::invokeMethod(qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

}  // namespace dl
