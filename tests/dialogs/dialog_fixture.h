#pragma once
// The dialogs over a main window of their own, driven through their controls and the keyboard.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <memory>

#include "platform/main_window.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/settings.h"
#include "state/shell.h"
#include "support/dialog_driver.h"
#include "support/test_support.h"

namespace dl_test {

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
