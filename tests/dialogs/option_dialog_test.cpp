#include "dialogs/option_dialog.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>

#include "dialog_fixture.h"
#include "resources/control_ids.h"

namespace {

using namespace dl::option_ids;

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
        EXPECT_EQ(list(d, kTimeSlice)->currentText().toStdString(), "1/5 sec");
        EXPECT_EQ(list(d, kFreqNum)->currentText().toStdString(), " 2048");
        EXPECT_EQ(list(d, kWindow)->currentText().toStdString(), "han     ");
        // Alt+T: the time-slice label gives the focus to its list; Home picks "3 sec".
        dl_test::mnemonic(d, Qt::Key_T);
        EXPECT_EQ(QApplication::focusWidget(), control(d, kTimeSlice));
        key(d, Qt::Key_Home);
        // Alt+N and one step down: " 4096"; Tab goes on to the window list, End picks "taper".
        dl_test::mnemonic(d, Qt::Key_N);
        key(d, Qt::Key_Down);
        key(d, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control(d, kWindow));
        key(d, Qt::Key_End);
        key(d, Qt::Key_Return);  // the default button
    });
    result = dl_test::run_option_dialog();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dl::Settings.deltatime, 32768u);
    EXPECT_EQ(dl::Settings.fftparam, 13);
    EXPECT_EQ(dl::Settings.mado, 7);
}

TEST_F(OptionDialogTest, TheWaveformListEndsWithTheScrollsOfTheGraphWidth) {
    for (int width : {512, 1024}) {
        dl::LayoutUnits.GraphWidth = width;
        std::vector<std::string> items;
        when_dialog_shows([&](dl::Dialog& d) {
            for (int i = 0; i < list(d, kWaveMode)->count(); ++i) items.push_back(list(d, kWaveMode)->itemText(i).toStdString());
            key(d, Qt::Key_Escape);
        });
        EXPECT_EQ(dl_test::run_option_dialog(), 0);
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
        QScrollBar* b = bar(d, kRate);
        EXPECT_EQ(b->value(), -12);
        EXPECT_EQ(label(d, kRateLabel), "93.3%");
        // Dragging the thumb to the far left, as the mouse does.
        b->setSliderDown(true);
        b->setSliderPosition(-240);
        b->setSliderDown(false);
        EXPECT_EQ(dl::Settings.PlayRate, -240);
        EXPECT_EQ(label(d, kRateLabel), "25.0%");
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
    EXPECT_EQ(dl_test::run_option_dialog(), 0);
    EXPECT_EQ(dl::Settings.PlayRate, -12);
    char buf[16];
    EXPECT_STREQ(dl::PlayRateLabel(0, buf), "100.0%");
    EXPECT_STREQ(dl::PlayRateLabel(-120, buf), "50.0%");
}

TEST_F(OptionDialogTest, FlickerFreeAndColourActAtOnceAndCancelPutsThemBack) {
    dl::Settings.UseMemDC = 0;
    dl::Settings.ColorScale = 1;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_TRUE(d.enabled(kKey));
        click(d, kMemDc);
        EXPECT_EQ(dl::Settings.UseMemDC, 1);
        click(d, kColour);  // unticked: the key list grays at once
        EXPECT_EQ(dl::Settings.ColorScale, 0);
        EXPECT_FALSE(d.enabled(kKey));
        EXPECT_FALSE(d.enabled(kScaleLabel));
        click(d, 2);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 0);
    EXPECT_EQ(dl::Settings.UseMemDC, 0);
    EXPECT_EQ(dl::Settings.ColorScale, 1);
}

// The dialog edits the copy it is given: the settings in use change only through what it shows at
// once, and only when the caller's preview puts it there.
TEST_F(OptionDialogTest, EditsOnlyTheCopyItIsGivenAndShowsTheLiveChoicesThroughItsPreview) {
    dl::Settings.PlayRate = -12;
    dl::Settings.deltatime = 2048;
    const dl::SettingsRecord before = dl::Settings;
    for (const bool ok : {true, false}) {
        dl::SettingsRecord edited = before;
        std::vector<int> shown;
        when_dialog_shows([&](dl::Dialog& d) {
            QTest::keyClick(bar(d, kRate), Qt::Key_PageUp);
            click(d, kMemDc);
            list(d, kTimeSlice)->setCurrentIndex(0);
            key(d, ok ? Qt::Key_Return : Qt::Key_Escape);
        });
        const int result = dl::RunOptionDialog(edited, [&](const dl::SettingsRecord& s) {
            shown.push_back(s.PlayRate * 10 + s.UseMemDC);
        });
        EXPECT_EQ(result, ok ? 1 : 0);
        EXPECT_EQ(dl::Settings.PlayRate, -12) << "the settings in use are the caller's to change";
        EXPECT_EQ(dl::Settings.deltatime, 2048u);
        EXPECT_EQ(dl::Settings.UseMemDC, before.UseMemDC);
        const std::vector<int> expected_ok{-20 + before.UseMemDC, -20 + !before.UseMemDC};
        std::vector<int> expected = expected_ok;
        if (!ok) expected.push_back(-120 + before.UseMemDC);  // Cancel shows what was there
        EXPECT_EQ(shown, expected) << (ok ? "OK" : "Cancel");
        EXPECT_EQ(edited.PlayRate, ok ? -2 : -12);
        EXPECT_EQ(edited.UseMemDC, ok ? !before.UseMemDC : before.UseMemDC);
        EXPECT_EQ(edited.deltatime, ok ? 32768u : 2048u);
    }
}

TEST_F(OptionDialogTest, EmptyNumbersStoreTheirLeastValuesAndMemoryModeEnablesItsSize) {
    dl::Settings.OnMem = 0;
    dl::Settings.freqnum = 4;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_FALSE(d.enabled(kMemSize));
        EXPECT_EQ(QApplication::focusWidget(), control(d, kOnMemory));
        dl_test::mnemonic(d, Qt::Key_O);  // "&On Memory" ticks itself
        EXPECT_TRUE(d.checked(kOnMemory));
        EXPECT_TRUE(d.enabled(kMemSize));
        edit(d, kChartDot)->clear();
        edit(d, kMemSize)->clear();
        edit(d, kPeaks)->setText("7");
        EXPECT_EQ(edit(d, kPeaks)->maxLength(), 3);
        EXPECT_EQ(edit(d, kChartDot)->maxLength(), 2);
        click(d, kHoldConst);  // peak hold: constant
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 1);
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
        EXPECT_EQ(control(d, kFreqNum)->mapTo(top, QPoint(0, 0)), QPoint(69 * X / 4 + v, 23 * Y / 4));
        EXPECT_GE(control(d, kFreqNum)->width(), 33 * X / 4 + v);
        EXPECT_EQ(control(d, kRate)->height(), v + 2);
        // The rows under the play-rate bar move down by what the bar grew.
        EXPECT_EQ(control(d, kPeakMethod)->mapTo(top, QPoint(0, 0)).y(), 180 * Y / 4 + v + 2 - 8 * Y / 4);
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
    dl_test::run_option_dialog();
}

// The delay the sound system does not report is typed in ms (Alt+F) and kept within 0..1000.
TEST_F(OptionDialogTest, TheLatencyOffsetIsTypedInMilliseconds) {
    for (const auto& [typed, kept] : std::vector<std::pair<std::string, int>>{{"180", 180}, {"2500", 1000}, {"", 0}}) {
        SCOPED_TRACE(typed);
        when_dialog_shows([&, typed = typed](dl::Dialog& d) {
            EXPECT_EQ(edit(d, kLatency)->maxLength(), 4);
            dl_test::mnemonic(d, Qt::Key_F);
            EXPECT_EQ(QApplication::focusWidget(), control(d, kLatency));
            edit(d, kLatency)->setText(QString::fromStdString(typed));
            click(d, 1);
        });
        EXPECT_EQ(dl_test::run_option_dialog(), 1);
        EXPECT_EQ(dl::Settings.LatencyOffset, kept);
    }
    dl::Settings.LatencyOffset = 300;
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_EQ(edit(d, kLatency)->text().toStdString(), "300");
        edit(d, kLatency)->setText("20");
        key(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 0);
    EXPECT_EQ(dl::Settings.LatencyOffset, 300) << "CANCEL keeps it";
}

TEST_F(OptionDialogTest, ThePeakMethodIsAThreeWayChoiceAndTheReferenceIsTyped) {
    dl::Settings.use_complex = 1;
    when_dialog_shows([&](dl::Dialog& d) {
        ASSERT_EQ(list(d, kPeakMethod)->count(), 3);
        EXPECT_EQ(list(d, kPeakMethod)->currentText().toStdString(), "complex interpolation");
        EXPECT_EQ(edit(d, kReference)->text().toStdString(), "440.0");
        EXPECT_EQ(edit(d, kReference)->maxLength(), 5);
        // Alt+U gives the list the focus; End picks the precise estimator.
        dl_test::mnemonic(d, Qt::Key_U);
        EXPECT_EQ(QApplication::focusWidget(), control(d, kPeakMethod));
        key(d, Qt::Key_End);
        dl_test::mnemonic(d, Qt::Key_E);
        EXPECT_EQ(QApplication::focusWidget(), control(d, kReference));
        edit(d, kReference)->setText("442,5");
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 1);
    EXPECT_EQ(dl::Settings.precise_peaks, 1);
    EXPECT_EQ(dl::Settings.use_complex, 1);  // kept for a return to it
    EXPECT_EQ(dl::Settings.reference_a4, 4425);

    // A reference out of range is said, and the dialog stays open with nothing changed.
    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_EQ(list(d, kPeakMethod)->currentText().toStdString(), "precise estimator");
        EXPECT_EQ(edit(d, kReference)->text().toStdString(), "442.5");
        list(d, kPeakMethod)->setCurrentIndex(0);
        edit(d, kReference)->setText("500");
        click(d, 1);
        ASSERT_EQ(boxes_.boxes.size(), 1u);
        EXPECT_NE(boxes_.boxes[0].text.find("400.0 and 480.0 Hz"), std::string::npos);
        EXPECT_EQ(QApplication::focusWidget(), control(d, kReference));
        key(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 0);
    EXPECT_EQ(dl::Settings.precise_peaks, 1);
    EXPECT_EQ(dl::Settings.reference_a4, 4425);

    when_dialog_shows([&](dl::Dialog& d) {
        list(d, kPeakMethod)->setCurrentIndex(0);
        edit(d, kReference)->setText("415");
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 1);
    EXPECT_EQ(dl::Settings.precise_peaks, 0);
    EXPECT_EQ(dl::Settings.use_complex, 0);
    EXPECT_EQ(dl::Settings.reference_a4, 4150);
}

TEST(OptionDialogReference, TextsInTenthsOfAHertz) {
    EXPECT_EQ(dl::ReferenceText(4400), "440.0");
    EXPECT_EQ(dl::ReferenceText(4153), "415.3");
    for (auto [text, tenths] : {std::pair{"440", 4400}, {" 415.3 ", 4153}, {"442,5", 4425}, {"400", 4000}, {"480.0", 4800},
                                {"443.06", 4431}, {"399.9", 0}, {"480.1", 0}, {"", 0}, {"abc", 0}, {"4e2", 0},
                                {"44 0", 0}, {"440..0", 0}, {"-440", 0}})
        EXPECT_EQ(dl::ReferenceFromText(text), tenths) << text;
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
    dl_test::run_option_dialog();
    EXPECT_EQ(dl::Settings.dialog3d, 0) << "kept for the next dialog and saved at exit";
}

}  // namespace

// The meter's three choices: the strip, its ballistics (both lists) and the loudness target typed
// in LUFS; a target out of range is said and changes nothing.
TEST_F(OptionDialogTest, TheMeterStripItsBallisticsAndTheLoudnessTarget) {
    when_dialog_shows([&](dl::Dialog& d) {
        ASSERT_EQ(list(d, kLevelMeter)->count(), 3);
        ASSERT_EQ(list(d, kBallistics)->count(), 5);
        EXPECT_EQ(list(d, kLevelMeter)->currentText().toStdString(), "Peak meter only");
        EXPECT_EQ(list(d, kBallistics)->currentText().toStdString(), "Sample peak");
        EXPECT_EQ(edit(d, kTarget)->text().toStdString(), "-23");
        dl_test::mnemonic(d, Qt::Key_V);
        EXPECT_EQ(QApplication::focusWidget(), control(d, kLevelMeter));
        key(d, Qt::Key_End);
        list(d, kBallistics)->setCurrentIndex(3);
        edit(d, kTarget)->setText("-16,5");
        click(d, 1);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 1);
    EXPECT_EQ(dl::Settings.level_meter, 2);
    EXPECT_EQ(dl::Settings.meter_ballistics, 3);
    EXPECT_EQ(dl::Settings.loudness_target, -165);

    when_dialog_shows([&](dl::Dialog& d) {
        EXPECT_EQ(list(d, kBallistics)->currentText().toStdString(), "PPM type IIb (EBU)");
        EXPECT_EQ(edit(d, kTarget)->text().toStdString(), "-16.5");
        list(d, kLevelMeter)->setCurrentIndex(0);
        edit(d, kTarget)->setText("-3");
        click(d, 1);
        ASSERT_EQ(boxes_.boxes.size(), 1u);
        EXPECT_NE(boxes_.boxes[0].text.find("-60.0 and -5.0 LUFS"), std::string::npos);
        EXPECT_EQ(QApplication::focusWidget(), control(d, kTarget));
        key(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 0);
    EXPECT_EQ(dl::Settings.level_meter, 2);
    EXPECT_EQ(dl::Settings.loudness_target, -165);
}

TEST(OptionDialogReference, LoudnessTargetsInTenthsOfLufs) {
    for (auto [text, tenths] : {std::pair{"-23", -230}, {" -14.0 ", -140}, {"-16,5", -165}, {"-60", -600}, {"-5", -50},
                                {"-4.9", 0}, {"-60.1", 0}, {"23", 0}, {"", 0}, {"-", 0}, {"--23", 0}, {"-2 3", 0}})
        EXPECT_EQ(dl::LoudnessTargetFromText(text), tenths) << text;
}
