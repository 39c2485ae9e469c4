#include "platform/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <map>

#include "platform/font_impl.h"
#include "platform/dialog_qt.h"
#include "platform/dialog_style.h"
#include "platform/main_window_qt.h"

namespace dl {

namespace {

Dialog* g_showing = nullptr;

// A closed drop-down list is one line of text high, whatever the template gives its list.
constexpr int kDropListHeight = 12;

class DialogWindow : public QDialog {
public:
    DialogWindow(Dialog::Impl& impl, QWidget* parent) : QDialog(parent), impl_(impl) {}

protected:
    void reject() override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void show_look_menu(const QPoint& global);

    Dialog::Impl& impl_;
};

// A scroll bar that shows when it has the keyboard focus (the style draws none for it).
class FocusScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent* e) override {
        QScrollBar::paintEvent(e);
        if (!hasFocus()) return;
        QStylePainter p(this);
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(1, 1, -1, -1);
        focus.backgroundColor = palette().color(QPalette::Window);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
};

bool inside(const ControlTemplate& c, const ControlTemplate& box) {
    const int h = c.kind == ControlKind::DropList ? std::min(c.h, kDropListHeight) : c.h;
    return c.x >= box.x && c.y >= box.y && c.x + c.w <= box.x + box.w && c.y + h <= box.y + box.h;
}

bool takes_focus(ControlKind k) {
    return k != ControlKind::GroupBox && k != ControlKind::Label && k != ControlKind::RightLabel &&
           k != ControlKind::Icon;
}

}  // namespace

struct Dialog::Impl {
    Dialog* owner = nullptr;
    DialogHandler* handler = nullptr;
    DialogWindow* window = nullptr;
    DialogUnits units;
    std::map<int, QWidget*> controls;
    std::map<int, ControlKind> kinds;
    QPalette raised_palette;
    std::string look_text;
    bool look_checked = false;

    QRect pixels(int x, int y, int w, int h) const {
        return QRect(x * units.base_x / 4, y * units.base_y / 8, w * units.base_x / 4, h * units.base_y / 8);
    }
    QWidget* control(int id) const {
        auto it = controls.find(id);
        return it == controls.end() ? nullptr : it->second;
    }
    template <class T>
    T* as(int id) const {
        return qobject_cast<T*>(control(id));
    }
    void build(const DialogTemplate& t);
    QWidget* create_control(const ControlTemplate& c, const QString& text, QWidget* parent);
    static QRect control_rect(const ControlTemplate& c, QRect r, QWidget* w);
    void wire_control(const ControlTemplate& c, QWidget* w);
    void fit_texts();
    void scrolled(int id, QScrollBar* bar, int action);
    void tab_to_checked_radios();
};

namespace {

void DialogWindow::reject() { impl_.handler->on_command(*impl_.owner, 2); }

void DialogWindow::show_look_menu(const QPoint& global) {
    if (impl_.look_text.empty()) return;
    QMenu menu(this);
    QAction* item = menu.addAction(QString::fromStdString(impl_.look_text));
    item->setCheckable(true);
    item->setChecked(impl_.look_checked);
    if (menu.exec(global) == item) impl_.handler->on_look_item(*impl_.owner);
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* e) {
    // The menu key opens it wherever the focus is; a click only on the dialog's own background, its
    // group boxes and labels.
    QWidget* under = childAt(e->pos());
    if (e->reason() != QContextMenuEvent::Keyboard && under && !qobject_cast<QGroupBox*>(under) &&
        !qobject_cast<QLabel*>(under))
        return;
    show_look_menu(e->globalPos());
}

void DialogWindow::keyPressEvent(QKeyEvent* e) {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && !(e->modifiers() & ~Qt::KeypadModifier)) {
        // Enter presses the push button that has the focus, as Space does; elsewhere it is OK.
        if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && b->isEnabled() && b->isVisible()) {
            b->click();
            return;
        }
    }
    if (e->key() == Qt::Key_Menu || (e->key() == Qt::Key_F10 && e->modifiers() == Qt::ShiftModifier)) {
        QWidget* f = focusWidget();
        show_look_menu(f ? f->mapToGlobal(QPoint(f->width() / 2, f->height() / 2)) : mapToGlobal(QPoint(0, 0)));
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace

void Dialog::Impl::scrolled(int id, QScrollBar* bar, int action) {
    using S = DialogHandler::Scroll;
    S code = S::Other;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: code = S::LineLeft; break;
        case QAbstractSlider::SliderSingleStepAdd: code = S::LineRight; break;
        case QAbstractSlider::SliderPageStepSub: code = S::PageLeft; break;
        case QAbstractSlider::SliderPageStepAdd: code = S::PageRight; break;
        case QAbstractSlider::SliderMove: code = S::ThumbTrack; break;
        default: break;
    }
    const int position = bar->sliderPosition();
    if (code == S::Other) {
        // A move the handler does not take (Home, End) leaves the thumb where it was.
        QSignalBlocker quiet(bar);
        bar->setSliderPosition(bar->value());
    }
    handler->on_scroll(*owner, id, code, position);
}

QWidget* Dialog::Impl::create_control(const ControlTemplate& c, const QString& text, QWidget* parent) {
    switch (c.kind) {
        case ControlKind::GroupBox: return new QGroupBox(text, parent);
        case ControlKind::Label:
        case ControlKind::RightLabel: return new QLabel(text, parent);
        case ControlKind::DropList: {
            auto* list = new QComboBox(parent);
            list->setSizeAdjustPolicy(QComboBox::AdjustToContents);  // its hint counts its entries
            return list;
        }
        case ControlKind::Edit: return new QLineEdit(parent);
        case ControlKind::CheckBox: return new QCheckBox(text, parent);
        case ControlKind::Radio: return new QRadioButton(text, parent);
        case ControlKind::Button:
        case ControlKind::DefaultButton: {
            auto* b = new QPushButton(text, parent);
            b->setAutoDefault(false);
            b->setDefault(c.kind == ControlKind::DefaultButton);
            return b;
        }
        case ControlKind::HScrollBar: {
            auto* bar = new FocusScrollBar(Qt::Horizontal, parent);
            bar->setSingleStep(1);
            bar->setPageStep(10);
            // The right arrow moves the thumb right (scroll bars turn their keys round by default).
            bar->setInvertedControls(false);
            const int id = c.id;
            QObject::connect(bar, &QAbstractSlider::actionTriggered, window,
                             [this, id, bar](int action) { scrolled(id, bar, action); });
            QObject::connect(bar, &QAbstractSlider::sliderReleased, window, [this, id, bar] {
                handler->on_scroll(*owner, id, DialogHandler::Scroll::ThumbPosition, bar->sliderPosition());
            });
            return bar;
        }
        case ControlKind::Icon: return new QLabel(parent);
    }
    return nullptr;
}

// The control's rectangle r from the template, fitted to what the control needs.
QRect Dialog::Impl::control_rect(const ControlTemplate& c, QRect r, QWidget* w) {
    if (c.kind == ControlKind::DropList || c.kind == ControlKind::Edit) r.setHeight(std::max(r.height(), w->sizeHint().height()));
    if (c.kind == ControlKind::Label || c.kind == ControlKind::RightLabel) {
        // A static text takes the top of its rectangle, as wide as its text: what the template
        // leaves around it (often under the next control) stays free.
        auto* l = static_cast<QLabel*>(w);
        const QSize hint = l->sizeHint();
        const int width = std::min(r.width(), hint.width());
        if (c.kind == ControlKind::RightLabel) r.setLeft(r.right() + 1 - width);
        else r.setWidth(width);
        r.setHeight(std::min(r.height(), hint.height()));
        l->setAlignment(c.kind == ControlKind::RightLabel ? Qt::AlignRight | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    }
    return r;
}

void Dialog::Impl::wire_control(const ControlTemplate& c, QWidget* w) {
    w->setObjectName(QString::number(c.id));
    if (c.kind == ControlKind::CheckBox || c.kind == ControlKind::Radio || c.kind == ControlKind::Edit ||
        c.kind == ControlKind::Button || c.kind == ControlKind::DefaultButton)
        w->setStyle(dialog_control_style());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        const int id = c.id;
        QObject::connect(b, &QAbstractButton::clicked, window, [this, id] { handler->on_command(*owner, id); });
    }
    if (auto* radio = qobject_cast<QRadioButton*>(w))
        QObject::connect(radio, &QAbstractButton::toggled, window, [this] { tab_to_checked_radios(); });
    controls[c.id] = w;
    kinds[c.id] = c.kind;
}

void Dialog::Impl::build(const DialogTemplate& t) {
    window->setFont(dialog_font(units.japanese));
    window->setWindowTitle(QString::fromUtf8(units.japanese && t.japanese_caption ? t.japanese_caption : t.caption));
    window->setFixedSize(pixels(0, 0, t.w, t.h).size());
    window->setContextMenuPolicy(Qt::DefaultContextMenu);
    QWidget* previous_focusable = nullptr;
    QLabel* pending_label = nullptr;
    for (const ControlTemplate& c : t.controls) {
        // Controls inside a group box belong to it: its mnemonic reaches them, its radio buttons
        // exclude each other.
        QWidget* parent = window;
        QPoint origin(0, 0);
        if (c.kind != ControlKind::GroupBox) {
            for (const ControlTemplate& box : t.controls) {
                if (box.kind != ControlKind::GroupBox || !inside(c, box)) continue;
                parent = controls[box.id];
                origin = pixels(box.x, box.y, 0, 0).topLeft();
                break;
            }
        }
        const QString text = QString::fromUtf8(units.japanese && c.japanese ? c.japanese : (c.text ? c.text : ""));
        QWidget* w = create_control(c, text, parent);
        if ((c.kind == ControlKind::Label || c.kind == ControlKind::RightLabel) && text.contains('&'))
            pending_label = static_cast<QLabel*>(w);
        QRect r = pixels(c.x, c.y, c.w, c.kind == ControlKind::DropList ? std::min(c.h, kDropListHeight) : c.h);
        r.translate(-origin);
        w->setGeometry(control_rect(c, r, w));
        wire_control(c, w);
        if (takes_focus(c.kind)) {
            w->setFocusPolicy(Qt::StrongFocus);
            if (previous_focusable) QWidget::setTabOrder(previous_focusable, w);
            previous_focusable = w;
            // A label's mnemonic gives the focus to the control after it.
            if (pending_label) pending_label->setBuddy(w);
            pending_label = nullptr;
        }
    }
    raised_palette = window->palette();
}

// Tab into a group of radio buttons lands on its checked one (its first one while none is checked);
// the arrow keys move within the group.
void Dialog::Impl::tab_to_checked_radios() {
    std::map<QWidget*, std::vector<QRadioButton*>> groups;
    for (auto& [id, w] : controls)
        if (auto* r = qobject_cast<QRadioButton*>(w)) groups[r->parentWidget()].push_back(r);
    for (auto& [parent, radios] : groups) {
        std::sort(radios.begin(), radios.end(), [](QRadioButton* a, QRadioButton* b) {
            return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
        });
        QRadioButton* stop = nullptr;
        for (QRadioButton* r : radios)
            if (r->isChecked() && r->isEnabled()) stop = r;
        for (QRadioButton* r : radios)
            if (!stop && r->isEnabled()) stop = r;
        for (QRadioButton* r : radios) r->setFocusPolicy(r == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

// Texts wider than the template allowed for (fonts differ from the ones it was drawn for) widen
// their control; what stands to its right in the same row moves along, and the group box or the
// dialog grows to hold the row. Group boxes first, so the dialog sees their final widths.
void Dialog::Impl::fit_texts() {
    std::vector<QWidget*> parents;
    for (auto& [id, w] : controls)
        if (qobject_cast<QGroupBox*>(w)) parents.push_back(w);
    parents.push_back(window);
    constexpr int kGap = 2, kFieldGap = 4, kMargin = 4;
    for (QWidget* parent : parents) {
        std::vector<QWidget*> row;
        for (auto& [id, w] : controls)
            if (w->parentWidget() == parent) row.push_back(w);
        std::sort(row.begin(), row.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        int right = 0;
        for (size_t i = 0; i < row.size(); ++i) {
            QWidget* c = row[i];
            const int grow = std::max(dialog_text_width(c) - c->width(), 0);
            // What follows an edit field keeps clear of its frame.
            const int gap = qobject_cast<QLineEdit*>(c) ? kFieldGap : kGap;
            const int old_right = c->geometry().right();
            if (grow > 0) c->resize(c->width() + grow, c->height());
            if (grow > 0 || gap > kGap) {
                for (size_t k = i + 1; k < row.size(); ++k) {
                    QWidget* s = row[k];
                    const bool same_row = s->y() < c->geometry().bottom() && c->y() < s->geometry().bottom();
                    if (same_row && s->x() > old_right - grow / 2 && s->x() < c->geometry().right() + gap)
                        s->move(c->geometry().right() + gap, s->y());
                }
            }
            right = std::max(right, c->geometry().right());
        }
        if (parent == window) {
            if (right + kMargin >= window->width()) window->setFixedSize(right + kMargin + 1, window->height());
        } else if (right + kMargin >= parent->width()) {
            parent->resize(right + kMargin + 1, parent->height());
        }
    }
}

int dialog_text_width(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        // A short field shows as many digits as it takes, with its frame and margins.
        if (e->maxLength() > 8) return 0;
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
        const QMargins m = e->textMargins();
        const int text = e->fontMetrics().horizontalAdvance(QString(e->maxLength(), u'9')) + 2 * 2 + m.left() + m.right() + 1;
        return e->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, QSize(text, e->height()), e).width();
    }
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->fontMetrics().horizontalAdvance(QString(g->title()).remove('&')) + 16;
    if (qobject_cast<QLabel*>(w) && !qobject_cast<QLabel*>(w)->pixmap().isNull()) return 0;
    if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w))
        return w->sizeHint().width();
    return 0;
}

Dialog::Dialog(const DialogTemplate& t, const DialogUnits& units, DialogHandler& handler)
    : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.owner = this;
    m.handler = &handler;
    m.units = units;
    m.window = new DialogWindow(m, main_window_widget());
    m.window->setModal(true);
    m.build(t);
}

Dialog::~Dialog() {
    if (g_showing == this) g_showing = nullptr;
    delete impl_->window;
}

int Dialog::run() {
    Dialog* outer = g_showing;
    g_showing = this;
    impl_->handler->on_init(*this);
    impl_->fit_texts();
    impl_->tab_to_checked_radios();
    const int code = impl_->window->exec();
    g_showing = outer;
    return code;
}

void Dialog::end(int code) { impl_->window->done(code); }

Dialog* Dialog::showing() { return g_showing; }

bool Dialog::checked(int id) const {
    auto* b = impl_->as<QAbstractButton>(id);
    return b && b->isChecked();
}

void Dialog::set_checked(int id, bool on) {
    auto* b = impl_->as<QAbstractButton>(id);
    if (!b) return;
    b->setCheckable(true);
    const bool exclusive = b->autoExclusive();
    if (!on) b->setAutoExclusive(false);
    b->setChecked(on);
    b->setAutoExclusive(exclusive);
}

void Dialog::enable(int id, bool on) {
    if (QWidget* w = impl_->control(id)) w->setEnabled(on);
}

bool Dialog::enabled(int id) const {
    QWidget* w = impl_->control(id);
    return w && w->isEnabled();
}

std::string Dialog::text(int id) const {
    QWidget* w = impl_->control(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title().toStdString();
    return {};
}

void Dialog::set_text(int id, const std::string& text) {
    QWidget* w = impl_->control(id);
    const QString s = QString::fromStdString(text);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(s);
    else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(s);
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(s);
    else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(s);
}

void Dialog::set_limit(int id, int chars) {
    if (auto* e = impl_->as<QLineEdit>(id)) e->setMaxLength(chars);
}

void Dialog::add_item(int id, const std::string& text) {
    if (auto* c = impl_->as<QComboBox>(id)) c->addItem(QString::fromStdString(text));
}

int Dialog::item_count(int id) const {
    auto* c = impl_->as<QComboBox>(id);
    return c ? c->count() : 0;
}

int Dialog::selection(int id) const {
    auto* c = impl_->as<QComboBox>(id);
    return c ? c->currentIndex() : -1;
}

void Dialog::select(int id, int index) {
    if (auto* c = impl_->as<QComboBox>(id)) c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
}

void Dialog::set_scroll(int id, int lo, int hi, int position) {
    if (auto* s = impl_->as<QScrollBar>(id)) {
        s->setRange(lo, hi);
        s->setValue(position);
    }
}

int Dialog::scroll_position(int id) const {
    auto* s = impl_->as<QScrollBar>(id);
    return s ? s->value() : 0;
}

void Dialog::set_scroll_position(int id, int position) {
    if (auto* s = impl_->as<QScrollBar>(id)) s->setValue(position);
}

void Dialog::set_icon(int id, const std::string& png_path) {
    auto* l = impl_->as<QLabel>(id);
    QPixmap p(QString::fromStdString(png_path));
    if (l && !p.isNull()) {
        l->setPixmap(p.scaled(l->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}

void Dialog::focus(int id) {
    if (QWidget* w = impl_->control(id)) w->setFocus(Qt::OtherFocusReason);
}

bool Dialog::has_focus(int id) const {
    QWidget* w = impl_->control(id);
    return w && w->window()->focusWidget() == w;
}

void Dialog::move(int id, int x, int y) {
    QWidget* w = impl_->control(id);
    if (!w) return;
    w->move(w->parentWidget()->mapFrom(impl_->window, QPoint(x, y)));
}

void Dialog::resize(int id, int w, int h) {
    QWidget* c = impl_->control(id);
    if (!c) return;
    // A drop-down list's height counts its open list; closed it stays one line high.
    c->resize(w, impl_->kinds[id] == ControlKind::DropList ? c->height() : h);
}

void Dialog::resize_dialog(int w, int h) { impl_->window->setFixedSize(w, h); }

int Dialog::scroll_bar_extent() const { return impl_->window->style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

void Dialog::set_raised_look(bool raised) {
    QPalette p = impl_->raised_palette;
    if (!raised) {
        // Flat: everything on the window colour, texts in the window-text colour.
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(g, QPalette::Window, p.color(g, QPalette::Base));
            p.setColor(g, QPalette::Button, p.color(g, QPalette::Base));
            // Gray texts of disabled controls stay gray.
            if (g != QPalette::Disabled) p.setColor(g, QPalette::WindowText, p.color(g, QPalette::Text));
        }
    }
    impl_->window->setPalette(p);
    impl_->window->setAutoFillBackground(!raised);
    for (auto& [id, w] : impl_->controls)
        if (auto* g = qobject_cast<QGroupBox*>(w)) g->setFlat(!raised);
    impl_->window->update();
}

void Dialog::set_look_item(const std::string& text, bool checked) {
    impl_->look_text = text;
    impl_->look_checked = checked;
}

}  // namespace dl

namespace dl {

QDialog* dialog_window(Dialog& d) { return d.impl().window; }

QWidget* dialog_control(Dialog& d, int id) { return d.impl().control(id); }

}  // namespace dl
