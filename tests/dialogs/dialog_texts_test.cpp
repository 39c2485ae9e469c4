// Every text of every dialog fits its control, in English and in Japanese. With
// DEWLARK_SCREENSHOT_DIR set, each dialog is also saved there as a picture.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>
#include <functional>

#include "dialog_fixture.h"
#include "dialogs/about_box.h"
#include "dialogs/option_dialog.h"
#include "dialogs/record_port_dialog.h"
#include "dialogs/voice_range_dialog.h"
#include "platform/font.h"

namespace {

struct Case {
    const char* name;
    std::function<int()> run;
};

const std::vector<Case>& dialogs() {
    static const std::vector<Case> all = {{"option", dl_test::run_option_dialog},
                                          {"record_port", dl_test::run_record_port_dialog},
                                          {"about", dl::RunAboutBox},
                                          {"voice_range", dl_test::run_voice_range_dialog},
                                          {"voice_range_for_pointer", dl_test::run_voice_range_dialog_for_pointer}};
    return all;
}

class DialogTexts : public dl_test::DialogTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dl::JapaneseUi = GetParam();
        dl::Font::use_japanese_stock_font(GetParam());
        dl::measure_layout_units();
        dl::WaveInFormatMask = 0xFFF;
        dl::Settings.ColorScale = 1;
    }
    void TearDown() override {
        dl::Font::use_japanese_stock_font(false);
        DialogTest::TearDown();
    }
};

TEST_P(DialogTexts, FitTheirControls) {
    const char* dir = std::getenv("DEWLARK_SCREENSHOT_DIR");
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(0x30, 0x30, 0x30)}, {QPalette::WindowText, Qt::white},
                                {QPalette::Base, QColor(0x20, 0x20, 0x20)}, {QPalette::Text, Qt::white},
                                {QPalette::Button, QColor(0x40, 0x40, 0x40)}, {QPalette::ButtonText, Qt::white}})
        dark.setColor(role, colour);
    for (const Case& c : dialogs()) {
        // Raised and flat, in the light palette and (for the pictures) in the dark one.
        for (int look : {1, 0, 2, 3}) {
            if (look >= 2 && !dir) continue;
            QApplication::setPalette(look >= 2 ? dark : light);
            dl::Settings.dialog3d = look == 1 || look == 2;
            dl_test::when_dialog_shows([&](dl::Dialog& d) {
                QDialog* top = dl::dialog_window(d);
                std::vector<std::pair<QWidget*, QRect>> placed;
                for (QWidget* w : top->findChildren<QWidget*>()) {
                    if (w->objectName().isEmpty() || !w->isVisibleTo(top)) continue;
                    // Nothing overlaps what shares its group, and everything lies inside the dialog.
                    const QRect r(w->mapTo(top, QPoint(0, 0)), w->size());
                    EXPECT_TRUE(top->rect().contains(r)) << c.name << " control " << w->objectName().toStdString();
                    for (const auto& [other, o] : placed) {
                        if (other->parentWidget() != w->parentWidget()) continue;
                        // Rows may touch by a pixel or two of a control's frame or margin.
                        const QRect both = r.intersected(o);
                        EXPECT_FALSE(both.width() > 2 && both.height() > 2) << c.name << " controls " << w->objectName().toStdString()
                                                      << " and " << other->objectName().toStdString();
                    }
                    placed.emplace_back(w, r);
                    EXPECT_LE(dl::dialog_text_width(w), w->width())
                        << c.name << (GetParam() ? " (Japanese)" : "") << " control " << w->objectName().toStdString();
                }
                if (dir) {
                    const std::string file = std::string(dir) + "/" + c.name + (GetParam() ? "_ja" : "_en") +
                                             (look == 0 ? "_flat" : look == 2 ? "_dark" : look == 3 ? "_dark_flat" : "") + ".png";
                    top->grab().save(QString::fromStdString(file));
                }
                dl_test::key(d, Qt::Key_Escape);
            });
            c.run();
        }
    }
    QApplication::setPalette(light);
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogTexts, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Japanese" : "English"; });

}  // namespace
