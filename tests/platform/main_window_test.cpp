#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "platform/main_window.h"
#include "platform/main_window_qt.h"
#include "support/test_support.h"

namespace {

using dl::Key;

struct Recorder : dl::WindowHandler {
    int paints = 0;
    std::vector<std::pair<int, int>> commands;
    std::vector<int> timers, done;
    std::vector<Key> keys, button_keys;
    std::vector<std::string> dropped;
    std::vector<dl::SysCommand> sys;
    int destroys = 0;
    bool take_keys = false;
    std::pair<int, int> click{-1, -1};

    void on_paint(dl::Dc& dc) override {
        ++paints;
        dc.fill_rect(0, 0, 10, 10, dl::kWhite);
    }
    void on_command(int id, int code) override { commands.emplace_back(id, code); }
    void on_timer(int id) override { timers.push_back(id); }
    bool on_key_filter(Key k, dl::KeyModifiers) override {
        keys.push_back(k);
        return take_keys;
    }
    bool on_button_key(int, Key k) override {
        button_keys.push_back(k);
        return k == Key::Tab;
    }
    void on_lbutton_down(int x, int y) override { click = {x, y}; }
    void on_drop_files(const std::vector<std::string>& p) override { dropped = p; }
    void on_syscommand(dl::SysCommand c) override { sys.push_back(c); }
    void on_destroy() override { ++destroys; }
    void on_wave_out_done(int h) override { done.push_back(h); }
};

std::vector<dl::MenuBarEntry> menus() {
    return {{"&File", {{101, "&Monitor...", false}, {0, "", false}, {104, "e&xit", false}}},
            {"&Operation", {{121, "&Start", true}}}};
}

void spin(int ms = 20) { QTest::qWait(ms); }

TEST(MainWindowTest, MenusButtonsAndCommands) {
    Recorder r;
    dl::MainWindow w(r, menus(), 300, 200);
    w.show(dl::ShowCommand::Normal);
    EXPECT_EQ(w.menu_title(0), "&File");
    EXPECT_TRUE(w.menu_enabled(101));
    EXPECT_FALSE(w.menu_enabled(121));  // grayed in the table
    w.enable_menu(121, true);
    w.check_menu(121, true);
    EXPECT_TRUE(w.menu_checked(121));
    w.trigger_menu(104);
    ASSERT_EQ(r.commands.size(), 1u);
    EXPECT_EQ(r.commands[0], std::make_pair(104, 0));

    w.create_button(121, "PLAY", 10, 10, 80, 28, false);
    EXPECT_FALSE(w.button_enabled(121));
    w.enable_button(121, true);
    w.set_button_text(121, "Start");
    EXPECT_EQ(w.button_text(121), "Start");
    auto* b = dl::main_window_widget()->findChild<QPushButton*>();
    ASSERT_NE(b, nullptr);
    b->click();
    EXPECT_EQ(r.commands.back(), std::make_pair(121, 0));
}

TEST(MainWindowTest, PaintsAreCoalescedAndDrawIntoTheBackBuffer) {
    Recorder r;
    dl::MainWindow w(r, menus(), 300, 200);
    w.show(dl::ShowCommand::Normal);
    w.invalidate();
    w.invalidate();
    spin();
    EXPECT_EQ(r.paints, 1);
    EXPECT_EQ(w.surface().pixel(5, 5), dl::kWhite);
    EXPECT_EQ(w.client_width(), 300);
    w.set_client_size(400, 250);
    EXPECT_EQ(w.surface().width(), 400);
    EXPECT_EQ(w.surface().pixel(5, 5), dl::kWhite);  // kept across the resize
}

// The back buffer has the screen's device-pixel ratio; when it no longer has (the window went to
// another screen) the next repaint gives it the screen's and the whole client area is painted anew.
TEST(MainWindowTest, BackBufferFollowsTheScreensPixelRatio) {
    Recorder r;
    dl::MainWindow w(r, menus(), 300, 200);
    w.show(dl::ShowCommand::Normal);
    spin();
    const double screen = dl::main_window_widget()->devicePixelRatioF();
    EXPECT_EQ(w.surface().scale(), screen);
    const int paints = r.paints;
    w.surface().set_scale(screen + 1);
    dl::main_window_widget()->repaint();
    spin();
    EXPECT_EQ(w.surface().scale(), screen);
    EXPECT_EQ(w.surface().width(), 300);
    EXPECT_GT(r.paints, paints);
    EXPECT_EQ(w.surface().pixel(5, 5), dl::kWhite);
}

TEST(MainWindowTest, KeysGoToTheFilterFirstAndButtonsSeeTheRest) {
    Recorder r;
    dl::MainWindow w(r, menus(), 300, 200);
    w.show(dl::ShowCommand::Normal);
    w.create_button(122, "STOP", 10, 10, 80, 28, true);
    w.focus_button(122);
    QWidget* top = dl::main_window_widget();
    QApplication::setActiveWindow(top);
    spin();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : top;
    QTest::keyClick(target, Qt::Key_F1);
    QTest::keyClick(target, Qt::Key_Up);
    QTest::keyClick(target, Qt::Key_Tab);
    ASSERT_GE(r.keys.size(), 3u);
    EXPECT_EQ(r.keys[0], Key::F1);
    EXPECT_EQ(r.keys[1], Key::Up);
    EXPECT_EQ(r.keys[2], Key::Tab);
    EXPECT_EQ(r.button_keys.back(), Key::Tab);
    r.take_keys = true;
    r.button_keys.clear();
    QTest::keyClick(target, Qt::Key_Tab);
    EXPECT_TRUE(r.button_keys.empty());  // taken by the filter, never dispatched
}

TEST(MainWindowTest, TimersCompletionsClicksDropsAndDestroy) {
    Recorder r;
    dl::MainWindow w(r, menus(), 300, 200);
    w.show(dl::ShowCommand::Normal);
    w.set_timer(1, 5);
    EXPECT_TRUE(w.has_timer(1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return r.timers.size() >= 2; }, dl_test::kPatienceMs));
    w.kill_timer(1);
    EXPECT_FALSE(w.has_timer(1));
    EXPECT_GE(r.timers.size(), 2u);

    for (int h : {2, 3, 0, 1}) w.post_wave_out_done(h);
    spin();
    EXPECT_EQ(r.done, (std::vector<int>{2, 3, 0, 1}));

    QWidget* client = dl::main_window_widget()->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QTest::mouseClick(dl::main_window_widget()->childAt(40, 60) ? dl::main_window_widget()->childAt(40, 60) : client,
                      Qt::LeftButton, {}, QPoint(40, 30));
    EXPECT_NE(r.click.first, -1);

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/tmp/a b.wav"), QUrl::fromLocalFile("/tmp/c.wav")});
    QDropEvent refused(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(dl::main_window_widget())->event(&refused);
    EXPECT_TRUE(r.dropped.empty());  // drops not accepted yet
    w.accept_drops(true);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window: the application only routes drops that a drag session started.
    static_cast<QObject*>(dl::main_window_widget())->event(&drop);
    ASSERT_EQ(r.dropped.size(), 2u);
    EXPECT_EQ(r.dropped[0], "/tmp/a b.wav");

    w.system_command(dl::SysCommand::Maximize);
    EXPECT_EQ(r.sys.back(), dl::SysCommand::Maximize);

    w.destroy();
    w.destroy();
    EXPECT_EQ(r.destroys, 1);
    w.post_wave_out_done(7);
    spin();
    EXPECT_EQ(r.done.size(), 4u);  // nothing reaches a destroyed window
}

}  // namespace

namespace {

TEST(MainWindowTest, ASubmenuGrayedInTheTableOpensOnceEnabled) {
    Recorder r;
    dl::MainWindow w(r, {{"&File", {{130, "&Devices", true, true}}}}, 300, 200);
    w.show(dl::ShowCommand::Normal);
    EXPECT_FALSE(w.menu_enabled(130));
    w.enable_menu(130, true);
    EXPECT_TRUE(w.menu_enabled(130));
    // The submenu itself, not only its item in the menu bar's list, takes part again.
    QMenu* sub = nullptr;
    for (QMenu* m : dl::main_window_widget()->findChildren<QMenu*>())
        if (m->title() == "&Devices") sub = m;
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->isEnabled());
    EXPECT_TRUE(sub->menuAction()->isEnabled());
}

}  // namespace

namespace {

// A submenu's texts: a command's and the program's own choices keep their mnemonics, a choice
// named by the system (a device) shows its "&" as it is.
TEST(MainWindowTest, SubmenuChoicesShowMnemonicsOnlyWhereTheProgramNamedThem) {
    struct Menus : Recorder {
        std::vector<dl::SubmenuEntry> on_submenu_show(int) override {
            dl::SubmenuEntry reset, device, freeze;
            reset.text = "&Reset";
            reset.command = true;
            device.text = "Speakers & Headphones";
            freeze.text = "&Freeze";
            freeze.toggle = true;
            freeze.mnemonic = true;
            return {reset, device, freeze};
        }
    } r;
    dl::MainWindow w(r, {{"&View", {{130, "&Tools", false, true}}}}, 300, 200);
    w.show(dl::ShowCommand::Normal);
    w.open_submenu(130);
    QMenu* sub = nullptr;
    for (QMenu* m : dl::main_window_widget()->findChildren<QMenu*>())
        if (m->title() == "&Tools") sub = m;
    ASSERT_NE(sub, nullptr);
    std::vector<std::string> texts;
    for (QAction* a : sub->actions()) texts.push_back(a->text().toStdString());
    EXPECT_EQ(texts, (std::vector<std::string>{"&Reset", "Speakers && Headphones", "&Freeze"}));
}

}  // namespace
