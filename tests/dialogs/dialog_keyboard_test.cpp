// Every dialog from the keyboard: Enter presses the focused push button (OK elsewhere), Space too, Esc
// cancels; Tab lands on a radio group's checked button; the look menu opens from the keyboard; the
// play-rate bar shows its focus; short fields show their digits whole and keep clear of their label.
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionFrame>
#include <QTimer>
#include <functional>

#include "dialog_fixture.h"
#include "dialogs/option_dialog.h"
#include "dialogs/record_port_dialog.h"
#include "dialogs/voice_range_dialog.h"
#include "platform/wave_in.h"
#include "resources/control_ids.h"
#include "state/hooks.h"

namespace {

using namespace dl::option_ids;
namespace port = dl::record_port_ids;
namespace voice = dl::voice_range_ids;

using dl_test::click;
using dl_test::control;
using dl_test::key;
using dl_test::when_dialog_shows;

constexpr int kOk = 1, kCancel = 2;

class DialogKeys : public dl_test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dl::WaveInFormatMask = 0xFFF;
        dl::OpenTestWaveIn = [](const std::vector<uint8_t>&, dl::WaveIn::Data, std::unique_ptr<dl::WaveIn>&) {
            return dl::kWaveOk;
        };
    }
    // Tabs from where the focus is until control `id` has it; false when it never comes.
    static bool tab_to(dl::Dialog& d, int id) {
        for (int i = 0; i < 40; ++i) {
            if (QApplication::focusWidget() == control(d, id)) return true;
            key(d, Qt::Key_Tab);
        }
        return QApplication::focusWidget() == control(d, id);
    }
};

struct Case {
    const char* name;
    std::function<int()> run;
    std::function<void(dl::Dialog&)> change;  // a change OK would keep
    std::function<bool()> changed;
};

std::vector<Case> cases() {
    return {
        {"option", dl_test::run_option_dialog, [](dl::Dialog& d) { click(d, kMonochrome); },
         [] { return dl::Settings.monochrome != 0; }},
        {"record port", dl_test::run_record_port_dialog, [](dl::Dialog& d) { click(d, port::k11); },
         [] { return dl::Settings.freq == 11025; }},
        {"voice range", dl_test::run_voice_range_dialog, [](dl::Dialog& d) { click(d, voice::kWomanOrChild); },
         [] { return dl::Settings.sex == 2; }},
    };
}

void reset_edited_settings() {
    dl::Settings.monochrome = 0;
    dl::Settings.freq = 44100;
    dl::Settings.sex = 1;
}

TEST_F(DialogKeys, EnterOnAFocusedCancelCancelsAndOnOkOrAFieldAccepts) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        // Tab to CANCEL, Enter: nothing changes.
        reset_edited_settings();
        bool reached = false;
        when_dialog_shows([&](dl::Dialog& d) {
            c.change(d);
            reached = tab_to(d, kCancel);
            key(d, Qt::Key_Return);
        });
        c.run();
        EXPECT_TRUE(reached);
        EXPECT_FALSE(c.changed()) << "Enter on CANCEL";

        // Space on CANCEL, and Esc anywhere, cancel too.
        for (Qt::Key k : {Qt::Key_Space, Qt::Key_Escape}) {
            reset_edited_settings();
            when_dialog_shows([&](dl::Dialog& d) {
                c.change(d);
                tab_to(d, kCancel);
                key(d, k);
            });
            c.run();
            EXPECT_FALSE(c.changed()) << k;
        }

        // Enter on a focused OK, or on the radio button just chosen, keeps the change.
        for (bool on_ok : {true, false}) {
            reset_edited_settings();
            when_dialog_shows([&](dl::Dialog& d) {
                c.change(d);
                if (on_ok) tab_to(d, kOk);
                key(d, Qt::Key_Enter);
            });
            c.run();
            EXPECT_TRUE(c.changed()) << (on_ok ? "Enter on OK" : "Enter off the buttons");
        }
    }
}

TEST_F(DialogKeys, EnterInAnOptionFieldIsOk) {
    dl::Settings.freqnum = 4;
    when_dialog_shows([&](dl::Dialog& d) {
        edit(d, kPeaks)->setFocus();
        edit(d, kPeaks)->selectAll();
        QTest::keyClicks(edit(d, kPeaks), "12");
        key(d, Qt::Key_Return);
    });
    EXPECT_EQ(dl_test::run_option_dialog(), 1);
    EXPECT_EQ(dl::Settings.freqnum, 12);
}

TEST_F(DialogKeys, TabIntoARadioGroupLandsOnItsCheckedButton) {
    dl::Settings.PeakHold = 2;  // "Const", the last of three
    auto focused = [] {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName().toStdString() : std::string("none");
    };
    std::string landed, after_up;
    bool decay = false;
    when_dialog_shows([&](dl::Dialog& d) {
        control(d, kOnMemory)->setFocus();  // "On Memory", before the group (MemSize is gray)
        key(d, Qt::Key_Tab);
        landed = focused();
        key(d, Qt::Key_Up);  // within the group: "Decay", checked as it goes
        after_up = focused();
        decay = d.checked(kHoldDecay);
        key(d, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control(d, kOk)) << "one stop for the whole group";
        key(d, Qt::Key_Escape);
    });
    dl_test::run_option_dialog();
    EXPECT_EQ(landed, std::to_string(kHoldConst));
    EXPECT_EQ(after_up, std::to_string(kHoldDecay));
    EXPECT_TRUE(decay);

    // The record-port dialog: three groups, each entered at its checked button.
    dl::Settings.freq = 22050;
    dl::Settings.channel = 1;
    dl::Settings.bits = 8;
    std::vector<std::string> stops;
    when_dialog_shows([&](dl::Dialog& d) {
        control(d, kCancel)->setFocus();
        for (int i = 0; i < 3; ++i) {
            key(d, Qt::Key_Tab);
            stops.push_back(focused());
        }
        key(d, Qt::Key_Escape);
    });
    dl_test::run_record_port_dialog();
    EXPECT_EQ(stops, (std::vector<std::string>{std::to_string(port::k22), std::to_string(port::kMono),
                                               std::to_string(port::k8)}));
}

// Shift+F10 and the menu key open the dialog's menu wherever the focus is, so the look item is there
// without a mouse.
TEST_F(DialogKeys, TheLookMenuOpensFromTheKeyboard) {
    for (auto [k, mods] : {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
        dl::Settings.dialog3d = 1;
        bool shown = false;
        when_dialog_shows([&, k = k, mods = mods](dl::Dialog& d) {
            control(d, kCancel)->setFocus();
            QTimer::singleShot(50, [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                ASSERT_NE(menu, nullptr);
                shown = true;
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            });
            key(d, k, mods);
            key(d, Qt::Key_Escape);
        });
        dl_test::run_option_dialog();
        EXPECT_TRUE(shown) << k;
        EXPECT_EQ(dl::Settings.dialog3d, 0) << k;
    }
}

TEST_F(DialogKeys, ThePlayRateBarShowsItsFocus) {
    QImage unfocused, focused;
    when_dialog_shows([&](dl::Dialog& d) {
        control(d, kCancel)->setFocus();
        unfocused = control(d, kRate)->grab().toImage();
        key(d, Qt::Key_Tab);  // from CANCEL to the bar, as the user gets there
        ASSERT_TRUE(control(d, kRate)->hasFocus());
        focused = control(d, kRate)->grab().toImage();
        key(d, Qt::Key_Escape);
    });
    dl_test::run_option_dialog();
    ASSERT_FALSE(focused.isNull());
    EXPECT_NE(focused, unfocused);
}

// The two-digit chart field shows "99" whole, and no label touches the field before it.
TEST_F(DialogKeys, ShortFieldsShowTheirDigitsAndKeepClearOfTheirLabels) {
    dl::Settings.chartdot = 99;
    dl::Settings.freqnum = 999;
    for (bool japanese : {false, true}) {
        dl::JapaneseUi = japanese;
        when_dialog_shows([&](dl::Dialog& d) {
            for (auto [id, digits] : {std::pair{kChartDot, "99"}, std::pair{kPeaks, "999"}, std::pair{kMemSize, "255"}}) {
                QLineEdit* e = edit(d, id);
                ASSERT_NE(e, nullptr);
                QStyleOptionFrame opt;
                opt.initFrom(e);
                opt.rect = e->rect();
                opt.lineWidth = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e);
                const QRect inside = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
                // The field's own text margin of 2 pixels a side.
                EXPECT_GE(inside.width() - 4, e->fontMetrics().horizontalAdvance(QString::fromLatin1(digits)))
                    << "field " << id << (japanese ? " (Japanese)" : "");
            }
            for (auto [field, next] :
                 {std::pair{kPeaks, kPeakLabelsLabel}, std::pair{kChartDot, kWaveModeLabel}, std::pair{kMemSize, kMb}}) {
                const QRect f = control(d, field)->geometry(), n = control(d, next)->geometry();
                EXPECT_GE(n.left() - f.right(), 3) << field << " and " << next << (japanese ? " (Japanese)" : "");
            }
            key(d, Qt::Key_Escape);
        });
        dl_test::run_option_dialog();
    }
    dl::JapaneseUi = false;
}

}  // namespace
