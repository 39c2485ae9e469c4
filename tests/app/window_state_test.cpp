// The window manager's maximise, minimise and restore, as the window hears them from it, and the
// graph that takes the size the window gets.
#include <QTest>
#include <QMainWindow>
#include <QWidget>

#include "app_fixture.h"
#include "app/main_window_proc.h"
#include "display/graph_area.h"
#include "display/layout.h"
#include "platform/system.h"
#include "platform/system.h"
#include "platform/main_window.h"
#include "platform/main_window_qt.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/settings.h"
#include "state/shell.h"

namespace {

using dl_test::AppTest;

// The window manager puts the window in `state` (not the program's own show calls).
void window_manager_sets(Qt::WindowStates state) {
    dl::main_window_widget()->setWindowState(state);
    QTest::qWait(20);
}

struct Layout {
    int graph, client, window;
};

Layout layout_now(dl::MainWindow& w) {
    return {dl::GraphWidth, w.client_width(), dl::main_window_widget()->width()};
}

// A larger graph than the normal one fills the client, with the amplitude scale's column beside it.
void expect_graph_fills_the_client(dl::MainWindow& w) {
    EXPECT_GT(dl::GraphWidth, 512);
    EXPECT_EQ(w.client_width(), dl::WindowWidth);
    EXPECT_EQ(dl::GraphWidth, w.client_width() - 9 * dl::CellWidth);
    EXPECT_EQ(w.client_height(), dl::client_height());
    EXPECT_EQ(w.surface().width(), static_cast<QMainWindow*>(dl::main_window_widget())->centralWidget()->width());
    EXPECT_EQ(w.surface().height(), static_cast<QMainWindow*>(dl::main_window_widget())->centralWidget()->height());
}

TEST_F(AppTest, MaximiseMinimiseRestoreToMaximisedThenRestoreEndsInTheNormalLayout) {
    dl::MainWindow& w = start();
    const Layout normal = layout_now(w);
    ASSERT_EQ(normal.graph, 512);

    window_manager_sets(Qt::WindowMaximized);
    expect_graph_fills_the_client(w);
    const int large = dl::GraphWidth;

    window_manager_sets(Qt::WindowMaximized | Qt::WindowMinimized);
    EXPECT_TRUE(dl::MinimisedFlag);
    EXPECT_EQ(dl::GraphWidth, large);

    // Back from the icon to the maximised window: the large graph stays, the flag goes.
    window_manager_sets(Qt::WindowMaximized);
    EXPECT_EQ(dl::GraphWidth, large);
    EXPECT_FALSE(dl::MinimisedFlag);

    window_manager_sets(Qt::WindowNoState);
    const Layout restored = layout_now(w);
    EXPECT_EQ(restored.graph, 512);
    EXPECT_EQ(restored.client, normal.client);
    EXPECT_EQ(restored.window, normal.window);
    EXPECT_FALSE(dl::MinimisedFlag);
}

TEST_F(AppTest, LeavingTheIconKeepsTheLayoutItWasMinimisedFrom) {
    dl::MainWindow& w = start();
    const Layout normal = layout_now(w);

    // Minimised from the normal window and restored: nothing changes.
    window_manager_sets(Qt::WindowMinimized);
    EXPECT_TRUE(dl::MinimisedFlag);
    window_manager_sets(Qt::WindowNoState);
    EXPECT_EQ(layout_now(w).graph, 512);
    EXPECT_FALSE(dl::MinimisedFlag);

    // Maximised straight from the icon: the large graph.
    window_manager_sets(Qt::WindowMinimized);
    window_manager_sets(Qt::WindowMaximized);
    expect_graph_fills_the_client(w);
    EXPECT_FALSE(dl::MinimisedFlag);

    // Minimised while maximised, then put back as a normal window: the normal layout.
    window_manager_sets(Qt::WindowMaximized | Qt::WindowMinimized);
    window_manager_sets(Qt::WindowNoState);
    const Layout restored = layout_now(w);
    EXPECT_EQ(restored.graph, 512);
    EXPECT_EQ(restored.client, normal.client);
    EXPECT_EQ(restored.window, normal.window);
}

TEST_F(AppTest, AWindowStartedLargeIsRestoredToTheNormalLayoutAndSize) {
    dl::MainWindow& w = start({"/L"});
    QWidget* top = dl::main_window_widget();
    ASSERT_TRUE(top->windowState() & Qt::WindowMaximized);
    QTest::qWait(20);
    expect_graph_fills_the_client(w);
    const int large_client = w.client_width();

    window_manager_sets(Qt::WindowNoState);
    EXPECT_EQ(dl::GraphWidth, 512);
    EXPECT_EQ(dl::GraphHeight, 256);
    EXPECT_LT(w.client_width(), large_client);
    // Nothing of the large layout is left: the window is the normal layout's least size.
    EXPECT_EQ(top->minimumSize(), top->size());
    EXPECT_LT(top->width(), large_client);
}

TEST_F(AppTest, TheGraphTakesTheSizeTheWindowIsGivenAndTheNextRunOpensAtIt) {
    dl::MainWindow& w = start();
    QWidget* top = dl::main_window_widget();
    const QSize normal = top->size();
    const Layout before = layout_now(w);
    // The normal layout is the least size; maximise stays on offer.
    EXPECT_EQ(top->minimumSize(), normal);
    EXPECT_GT(top->maximumWidth(), normal.width());

    // Dragged larger by hand: the graph grows by what the client grew, and stays so.
    top->resize(normal.width() + 208, normal.height() + 120);
    QTest::qWait(30);
    EXPECT_EQ(top->size(), QSize(normal.width() + 208, normal.height() + 120));
    expect_graph_fills_the_client(w);
    EXPECT_EQ(dl::GraphHeight, 256 + 120);
    EXPECT_EQ(dl::GraphWidth, before.client + 208 - 9 * dl::CellWidth);
    const int width = dl::GraphWidth, client_w = w.client_width(), client_h = w.client_height();

    // Wider than the screen the system names (a window across two monitors): the scale keeps its column.
    top->resize(dl::screen_width() + 200, normal.height());
    QTest::qWait(30);
    expect_graph_fills_the_client(w);
    EXPECT_FALSE(dl::ScaleColumnHasNoRoom());

    // Smaller than the normal layout it will not go.
    top->resize(normal.width() - 100, normal.height() - 100);
    QTest::qWait(30);
    EXPECT_EQ(top->size(), normal);
    EXPECT_EQ(dl::GraphWidth, 512);
    EXPECT_EQ(dl::GraphHeight, 256);
    EXPECT_EQ(layout_now(w).client, before.client);

    // Maximised and back: the size the user gave it is the one restored and the one kept.
    top->resize(normal.width() + 208, normal.height() + 120);
    QTest::qWait(30);
    window_manager_sets(Qt::WindowMaximized);
    window_manager_sets(Qt::WindowNoState);
    EXPECT_EQ(dl::GraphWidth, width);
    EXPECT_EQ(w.client_width(), client_w);
    EXPECT_EQ(dl::Settings.window_width, client_w);
    EXPECT_EQ(dl::Settings.window_height, client_h);

    // The next run opens at that size.
    ASSERT_EQ(dl::save_settings(), dl::ProfileWrite::Written);
    program_->window().destroy();
    QTest::qWait(5);
    program_.reset();
    dl::ResetProcessState();
    ASSERT_EQ(dl::GraphWidth, 512);
    dl::MainWindow& next = start();
    QTest::qWait(20);
    EXPECT_EQ(dl::GraphWidth, width);
    EXPECT_EQ(dl::GraphHeight, 256 + 120);
    EXPECT_EQ(next.client_width(), client_w);
    EXPECT_EQ(next.client_height(), client_h);
}

// Between the normal width and the one that leaves the side panel room at the top right, the graph
// stays the normal one and the rest of the client is the window's face; the width is not taken back.
TEST_F(AppTest, AWindowTooNarrowForTheWidePanelKeepsTheNormalGraphAndItsWidth) {
    dl::MainWindow& w = start();
    QWidget* top = dl::main_window_widget();
    const QSize normal = top->size();
    const int client = w.client_width();
    top->resize(normal.width() + 50, normal.height());
    QTest::qWait(30);
    EXPECT_EQ(dl::GraphWidth, 512);
    EXPECT_EQ(w.client_width(), client + 50);
    EXPECT_EQ(w.surface().width(), client + 50);
    w.update_now();
    EXPECT_EQ(w.surface().pixel(client + 40, dl::GraphTop() + 20), dl::system_colour(dl::SysColour::ButtonFace));
    // A new layout (here the meter strip's) keeps the width the user gave.
    dl::Settings.level_meter = 1;
    dl::RelayoutWindow();
    QTest::qWait(30);
    EXPECT_EQ(w.client_width(), client + 50);
    EXPECT_EQ(w.client_height(), dl::client_height());
    EXPECT_EQ(dl::GraphHeight, 256);
}

}  // namespace
