// In a dark palette, raised and flat, the edges of unchecked check boxes and radio buttons and of
// edit fields stand out from what is around them (the flat look paints the window in the field colour).
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleOptionButton>

#include "dialog_fixture.h"
#include "dialogs/option_dialog.h"
#include "resources/control_ids.h"

namespace {

using namespace dl::option_ids;

using dl_test::control;
using dl_test::when_dialog_shows;

int luma(QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000; }

// Pixels of `area` (dialog coordinates) in the picture that differ from `ground` by more than a
// sixth of the scale.
int standing_out(const QImage& picture, const QRect& area, QColor ground) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += std::abs(luma(picture.pixel(x, y)) - luma(ground.rgb())) > 42;
    return n;
}

QRect in_dialog(QWidget* w, const QRect& r) { return QRect(w->mapTo(w->window(), r.topLeft()), r.size()); }

class DialogContrast : public dl_test::DialogTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        light_ = QApplication::palette();
        QPalette dark = light_;
        for (auto [role, colour] : {std::pair{QPalette::Window, QColor(0x30, 0x30, 0x30)},
                                    {QPalette::WindowText, Qt::white}, {QPalette::Base, QColor(0x20, 0x20, 0x20)},
                                    {QPalette::Text, Qt::white}, {QPalette::Button, QColor(0x40, 0x40, 0x40)},
                                    {QPalette::ButtonText, Qt::white}})
            dark.setColor(role, colour);
        QApplication::setPalette(dark);
    }
    void TearDown() override {
        QApplication::setPalette(light_);
        DialogTest::TearDown();
    }
    QPalette light_;
};

TEST_P(DialogContrast, UncheckedBoxesAndFieldFramesStandOut) {
    dl::Settings.dialog3d = GetParam();
    dl::Settings.monochrome = 0;
    dl::Settings.PeakHold = 1;
    when_dialog_shows([&](dl::Dialog& d) {
        QWidget* top = dl::dialog_window(d);
        const QImage picture = top->grab().toImage();
        const QColor ground = top->palette().color(QPalette::Window);

        auto* box = qobject_cast<QCheckBox*>(control(d, kMonochrome));  // "monochrome", unchecked
        QStyleOptionButton b;
        b.initFrom(box);
        const QRect mark = in_dialog(box, box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &b, box));
        EXPECT_GT(standing_out(picture, mark, ground), 2 * mark.width()) << "check box";

        auto* radio = qobject_cast<QRadioButton*>(control(d, kHoldOff));  // "Off", unchecked
        b.initFrom(radio);
        const QRect dot = in_dialog(radio, radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &b, radio));
        EXPECT_GT(standing_out(picture, dot, ground), 2 * dot.width()) << "radio button";

        // The frame of the peak-count field: its outermost rows and columns.
        QWidget* field = control(d, kPeaks);
        const QRect f = in_dialog(field, field->rect());
        const int edge = standing_out(picture, QRect(f.left(), f.top(), f.width(), 1), ground) +
                         standing_out(picture, QRect(f.left(), f.bottom(), f.width(), 1), ground) +
                         standing_out(picture, QRect(f.left(), f.top(), 1, f.height()), ground) +
                         standing_out(picture, QRect(f.right(), f.top(), 1, f.height()), ground);
        EXPECT_GT(edge, f.width() + f.height()) << "edit field";
        dl_test::key(d, Qt::Key_Escape);
    });
    dl_test::run_option_dialog();
}

INSTANTIATE_TEST_SUITE_P(Looks, DialogContrast, ::testing::Values(1, 0),
                         [](const auto& info) { return info.param ? "Raised" : "Flat"; });

}  // namespace
