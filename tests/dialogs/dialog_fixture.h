#pragma once
// The dialogs over a main window of their own, driven through their controls and the keyboard.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <memory>

#include "dialogs/measure_dialog.h"
#include "dialogs/option_dialog.h"
#include "dialogs/range_dialog.h"
#include "dialogs/record_port_dialog.h"
#include "dialogs/voice_range_dialog.h"
#include "platform/main_window.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/settings.h"
#include "state/shell.h"
#include "support/dialog_driver.h"
#include "support/test_support.h"

namespace dl_test {

// The dialogs as the window runs them: on a copy of the settings, taken only when accepted; what the
// option dialog shows at once reaches the settings while it is open.
template <typename Dialog>
int run_on_settings(Dialog dialog) {
    dl::SettingsRecord edited = dl::Settings;
    const int result = dialog(edited);
    if (result == 1) dl::Settings = edited;
    return result;
}
inline int run_option_dialog() {
    return run_on_settings([](dl::SettingsRecord& s) {
        return dl::RunOptionDialog(s, [](const dl::SettingsRecord& shown) {
            dl::Settings.PlayRate = shown.PlayRate;
            dl::Settings.UseMemDC = shown.UseMemDC;
            dl::Settings.ColorScale = shown.ColorScale;
        });
    });
}
inline int run_measure_dialog() { return run_on_settings(dl::RunMeasureDialog); }
inline int run_range_dialog() { return run_on_settings(dl::RunRangeDialog); }
inline int run_record_port_dialog() {
    const int result = run_on_settings(dl::RunRecordPortDialog);
    // The format just chosen (and accepted by the device) is the one saved from then on.
    if (result == 1) dl::ChosenRecordFormat.reset();
    return result;
}
inline int run_voice_range_dialog() {
    return run_on_settings([](dl::SettingsRecord& s) { return dl::RunVoiceRangeDialog(s); });
}
// As switching the voice pointer on asks it.
inline int run_voice_range_dialog_for_pointer() {
    return run_on_settings([](dl::SettingsRecord& s) { return dl::RunVoiceRangeDialog(s, true); });
}

class NoHandler : public dl::WindowHandler {
public:
    void on_paint(dl::Dc&) override {}
    void on_command(int, int) override {}
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dl::ResetProcessState();
        window_ = std::make_unique<dl::MainWindow>(handler_, std::vector<dl::MenuBarEntry>{}, 600, 372);
        window_->show(dl::ShowCommand::Normal);
        dl::TheMainWindow = window_.get();
        dl::measure_layout_units();
    }
    void TearDown() override {
        window_.reset();
        dl::ResetProcessState();
    }

    static QComboBox* list(dl::Dialog& d, int id) { return qobject_cast<QComboBox*>(control(d, id)); }
    static QLineEdit* edit(dl::Dialog& d, int id) { return qobject_cast<QLineEdit*>(control(d, id)); }
    static QScrollBar* bar(dl::Dialog& d, int id) { return qobject_cast<QScrollBar*>(control(d, id)); }
    static std::string label(dl::Dialog& d, int id) {
        auto* l = qobject_cast<QLabel*>(control(d, id));
        return l ? l->text().toStdString() : std::string();
    }

    NoHandler handler_;
    std::unique_ptr<dl::MainWindow> window_;
    MessageBoxCapture boxes_;
};

}  // namespace dl_test
