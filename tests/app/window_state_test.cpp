// The window manager's maximise, minimise and restore, as the window hears them from it, and the
// window's size that follows the layout.
#include <QTest>
#include <QWidget>

#include "app_fixture.h"
#include "platform/main_window.h"
#include "platform/main_window_qt.h"
#include "state/layout_units.h"
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

TEST_F(AppTest, MaximiseMinimiseRestoreToMaximisedThenRestoreEndsInTheNormalLayout) {
    dl::MainWindow& w = start();
    const Layout normal = layout_now(w);
    ASSERT_EQ(normal.graph, 512);

    window_manager_sets(Qt::WindowMaximized);
    EXPECT_EQ(dl::GraphWidth, 1024);
    EXPECT_EQ(w.client_width(), dl::WindowWidth);
    EXPECT_GE(w.client_width(), 1024 + 2 * dl::CellWidth);

    window_manager_sets(Qt::WindowMaximized | Qt::WindowMinimized);
    EXPECT_TRUE(dl::MinimisedFlag);
    EXPECT_EQ(dl::GraphWidth, 1024);

    // Back from the icon to the maximised window: the large graph stays, the flag goes.
    window_manager_sets(Qt::WindowMaximized);
    EXPECT_EQ(dl::GraphWidth, 1024);
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
    EXPECT_EQ(dl::GraphWidth, 1024);
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
    ASSERT_EQ(dl::GraphWidth, 1024);
    const int large_client = w.client_width();

    window_manager_sets(Qt::WindowNoState);
    EXPECT_EQ(dl::GraphWidth, 512);
    EXPECT_LT(w.client_width(), large_client);
    // The large layout's least size is gone with it: the window shrinks to the normal layout.
    EXPECT_EQ(top->minimumSize(), top->size());
    EXPECT_LT(top->width(), large_client);
}

TEST_F(AppTest, TheWindowOffersMaximiseButItsSizeFollowsTheLayout) {
    start();
    QWidget* top = dl::main_window_widget();
    const QSize size = top->size();
    // Equal least and largest sizes would tell window managers the window cannot be maximised.
    EXPECT_EQ(top->minimumSize(), size);
    EXPECT_GT(top->maximumWidth(), size.width());
    EXPECT_GT(top->maximumHeight(), size.height());

    // A size dragged by hand springs back.
    top->resize(size.width() + 120, size.height() + 40);
    QTest::qWait(30);
    EXPECT_EQ(top->size(), size);

    // Maximised, the window manager sizes the window: the program's least size leaves it alone.
    window_manager_sets(Qt::WindowMaximized);
    EXPECT_EQ(top->minimumSize(), size);
    window_manager_sets(Qt::WindowNoState);
    EXPECT_EQ(top->minimumSize(), size);
    EXPECT_EQ(top->size(), size);
}

}  // namespace
