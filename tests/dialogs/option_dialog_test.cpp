#include "dialogs/option_dialog.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>

#include "dialog_fixture.h"

namespace {

using dl_test::click;
using dl_test::control;
using dl_test::key;
using dl_test::when_dialog_shows;

class OptionDialogTest : public dl_test::DialogTest {};

TEST_F(OptionDialogTest, OpensOnTheSettingsAndOkStoresTheChoicesMadeByKeyboard) {
    dl::Settings.deltatime = 2048;
    dl::Settings.fftparam = 12;
    int result = -1;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_EQ(list(d, 128)->currentText().toStdString(), "1/5 sec");
        EXPECT_EQ(list(d, 147)->currentText().toStdString(), " 2048");
        EXPECT_EQ(list(d, 149)->currentText().toStdString(), "han     ");
        // Alt+T: the time-slice label gives the focus to its list; Home picks "3 sec".
        dl_test::mnemonic(d, Qt::Key_T);
        EXPECT_EQ(QApplication::focusWidget(), control(d, 128));
        key(d, Qt::Key_Home);
        // Alt+N and one step down: " 4096"; Tab goes on to the window list, End picks "taper".
        dl_test::mnemonic(d, Qt::Key_N);
        key(d, Qt::Key_Down);
        key(d, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control(d, 149));
        key(d, Qt::Key_End);
        key(d, Qt::Key_Return);  // the default button
    });
    result = dl::RunOptionDialog();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dl::Settings.deltatime, 32768u);
    EXPECT_EQ(dl::Settings.fftparam, 13);
    EXPECT_EQ(dl::Settings.mado, 7);
}

TEST_F(OptionDialogTest, TheWaveformListEndsWithTheScrollsOfTheGraphWidth) {
    for (int width : {512, 1024}) {
        dl::GraphWidth = width;
        std::vector<std::string> items;
        when_dialog_shows([&](dl::Dialog& d) {
            for (int i = 0; i < list(d, 151)->count(); ++i) items.push_back(list(d, 151)->itemText(i).toStdString());
            key(d, Qt::Key_Escape);
        });
        EXPECT_EQ(dl::RunOptionDialog(), 0);
        ASSERT_EQ(items.size(), 8u);
        EXPECT_EQ(items[0], "normal");
        if (width == 512) EXPECT_EQ(std::vector<std::string>(items.begin() + 4, items.end()),
                                    (std::vector<std::string>{"6sec", "3sec", "1.5s", "1sec"}));
        else EXPECT_EQ(std::vector<std::string>(items.begin() + 4, items.end()),
                       (std::vector<std::string>{"12sec", "6sec", "3sec", "1.5s"}));
    }
}

TEST_F(OptionDialogTest, ThePlayRateFollowsTheBarAtOnceAndCancelPutsItBack) {
    dl::Settings.PlayRate = -12;
    when_dialog_shows([&](dl::Dialog& d) {
        QScrollBar* b = bar(d, 141);
        EXPECT_EQ(b->value(), -12);
        EXPECT_EQ(label(d, 142), "93.3%");
        // Dragging the thumb to the far left, as the mouse does.
        b->setSliderDown(true);
        b->setSliderPosition(-240);
        b->setSliderDown(false);
        EXPECT_EQ(dl::Settings.PlayRate, -240);
        EXPECT_EQ(label(d, 142), "25.0%");
        // A line step by keyboard, and a page step.
        QTest::keyClick(b, Qt::Key_Right);
        EXPECT_EQ(dl::Settings.PlayRate, -239);
        QTest::keyClick(b, Qt::Key_PageUp);
        EXPECT_EQ(dl::Settings.PlayRate, -229);
        EXPECT_EQ(b->value(), -229);
        // Jumps the program does not take leave the thumb where the rate is.
        QTest::keyClick(b, Qt::Key_End);
        EXPECT_EQ(dl::Settings.PlayRate, -229);
        EXPECT_EQ(b->value(), -229);
        key(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dl::RunOptionDialog(), 0);
    EXPECT_EQ(dl::Settings.PlayRate, -12);
    char buf[16];
    EXPECT_STREQ(dl::PlayRateLabel(0, buf), "100.0%");
    EXPECT_STREQ(dl::PlayRateLabel(-120, buf), "50.0%");
}

TEST_F(OptionDialogTest, FlickerFreeAndColourActAtOnceAndCancelPutsThemBack) {
    dl::Settings.UseMemDC = 0;
    dl::Settings.ColorScale = 1;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_TRUE(d.enabled(136));
        click(d, 138);
        EXPECT_EQ(dl::Settings.UseMemDC, 1);
        click(d, 139);  // unticked: the key list grays at once
        EXPECT_EQ(dl::Settings.ColorScale, 0);
        EXPECT_FALSE(d.enabled(136));
        EXPECT_FALSE(d.enabled(150));
        click(d, 2);
    });
    EXPECT_EQ(dl::RunOptionDialog(), 0);
    EXPECT_EQ(dl::Settings.UseMemDC, 0);
    EXPECT_EQ(dl::Settings.ColorScale, 1);
}

TEST_F(OptionDialogTest, EmptyNumbersStoreTheirLeastValuesAndMemoryModeEnablesItsSize) {
    dl::Settings.OnMem = 0;
    dl::Settings.freqnum = 4;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_FALSE(d.enabled(125));
        EXPECT_EQ(QApplication::focusWidget(), control(d, 124));
        dl_test::mnemonic(d, Qt::Key_O);  // "&On Memory" ticks itself
        EXPECT_TRUE(d.checked(124));
        EXPECT_TRUE(d.enabled(125));
        edit(d, 135)->clear();
        edit(d, 125)->clear();
        edit(d, 195)->setText("7");
        EXPECT_EQ(edit(d, 195)->maxLength(), 3);
        EXPECT_EQ(edit(d, 135)->maxLength(), 2);
        click(d, 134);  // peak hold: constant
        click(d, 1);
    });
    EXPECT_EQ(dl::RunOptionDialog(), 1);
    EXPECT_EQ(dl::Settings.chartdot, 1);
    EXPECT_EQ(dl::Settings.MemSize, 2);
    EXPECT_EQ(dl::Settings.OnMem, 1);
    EXPECT_EQ(dl::Settings.freqnum, 7);
    EXPECT_EQ(dl::Settings.PeakHold, 2);
}

TEST_F(OptionDialogTest, ListsAreWiderByAScrollBarAndTheRowsBelowTheBarMakeRoomForIt) {
    when_dialog_shows([&](dl::Dialog& d) {
        const int X = dl::CellWidth, Y = dl::CellHeight;
        const int v = std::max(d.scroll_bar_extent(), 2 * X + 1);
        QWidget* top = dl::dialog_window(d);
        EXPECT_EQ(control(d, 147)->mapTo(top, QPoint(0, 0)), QPoint(69 * X / 4 + v, 23 * Y / 4));
        EXPECT_GE(control(d, 147)->width(), 33 * X / 4 + v);
        EXPECT_EQ(control(d, 141)->height(), v + 2);
        // The rows under the play-rate bar move down by what the bar grew.
        EXPECT_EQ(control(d, 198)->mapTo(top, QPoint(0, 0)).y(), 180 * Y / 4 + v + 2 - 8 * Y / 4);
        EXPECT_GE(top->width(), 168 * X / 4 + 3 * v);
        // What every control shows lies inside the dialog (a check box may reach further, empty).
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(top) || w->objectName().isEmpty()) continue;
            const QRect r(w->mapTo(top, QPoint(0, 0)), w->size().boundedTo(w->sizeHint().expandedTo(QSize(1, 1))));
            EXPECT_TRUE(top->rect().contains(r)) << w->objectName().toStdString() << " at " << r.x() << "," << r.y()
                                                 << " " << r.width() << "x" << r.height() << " in " << top->width()
                                                 << "x" << top->height();
        }
        key(d, Qt::Key_Escape);
    });
    dl::RunOptionDialog();
}

TEST_F(OptionDialogTest, TheContextMenuSwitchesTheLookOfEveryDialog) {
    dl::Settings.dialog3d = 1;
    when_dialog_shows([&](dl::Dialog& d) {
        QWidget* top = dl::dialog_window(d);
        // The menu runs its own loop: its item is taken once it shows.
        QTimer::singleShot(50, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            ASSERT_EQ(menu->actions().size(), 1);
            EXPECT_EQ(menu->actions()[0]->text().toStdString(), "&Three dimension");
            EXPECT_TRUE(menu->actions()[0]->isChecked());
            menu->setActiveAction(menu->actions()[0]);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, top->height() - 2), top->mapToGlobal(QPoint(2, top->height() - 2)));
        QApplication::sendEvent(top, &e);
        EXPECT_EQ(dl::Settings.dialog3d, 0);
        EXPECT_TRUE(top->autoFillBackground());
        EXPECT_EQ(top->palette().color(QPalette::Window), top->palette().color(QPalette::Base));
        key(d, Qt::Key_Escape);
    });
    dl::RunOptionDialog();
    EXPECT_EQ(dl::Settings.dialog3d, 0) << "kept for the next dialog and saved at exit";
}

}  // namespace
