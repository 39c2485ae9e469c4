#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/program.h"
#include "platform/font.h"
#include "platform/main_window_qt.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "support/test_support.h"

namespace dl_test {

// The milliseconds of sound a monitor has recorded: a FakeClock on it ends `--monitor --seconds S`
// after S seconds of sound (and the paced waits), however fast the machine took the sound in.
inline uint32_t recorded_ms() {
    const uint32_t bps = std::max<uint32_t>(dl::SourceInfo.output_bytes_per_second, 1);
    return uint32_t(dl::SourceInfo.DataRemaining * 1000ull / bps);
}

// Sends a key to the focused control of the active main window, as the user would type it.
inline void type_key(dl::MainWindow& w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* top = dl::main_window_widget();
    QApplication::setActiveWindow(top);
    top->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(top));
    w.focus_button(dl::kBeepButton);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, key, mods);
}


// A started program with its main window, a settings folder of its own and no reference tone.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        profile_ = use_temporary_profile();
        // A voice range chosen before, so Start does not ask for one (tests of that write their own file).
        write_file(profile_ + "/dewlark.INI", "[dewlark]\nsex=1\n");
        setenv("DEWLARK_DATA_DIR", temp_dir().c_str(), 1);
        dl::ResetProcessState();
    }
    void TearDown() override {
        if (program_) program_->window().destroy();
        QTest::qWait(5);
        program_.reset();
        // The window's end asked the loop to quit; a loop run here takes that request, so the next
        // test's modal dialogs do not end at once.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        unsetenv("DEWLARK_DATA_DIR");
    }
    dl::MainWindow& start(const std::vector<std::string>& args = {},
                          dl::ShowCommand show = dl::ShowCommand::Normal) {
        program_ = std::make_unique<dl::Program>();
        program_->Initialise(args, show);
        QTest::qWait(10);
        return program_->window();
    }
    // Starts the program under a Japanese locale, the environment left as it was.
    dl::MainWindow& start_in_japanese() {
        const char* old = std::getenv("LC_ALL");
        const std::string saved = old ? old : "";
        setenv("LC_ALL", "ja_JP.UTF-8", 1);
        dl::MainWindow& w = start();
        if (saved.empty()) unsetenv("LC_ALL");
        else setenv("LC_ALL", saved.c_str(), 1);
        return w;
    }
    // Ends a program started in the Japanese interface and goes back to the English one.
    void end_in_english() {
        if (program_) program_->window().destroy();
        program_.reset();
        dl::JapaneseUi = false;
        dl::Font::use_japanese_stock_font(false);
        dl::measure_layout_units();
    }
    std::string profile_;
    std::unique_ptr<dl::Program> program_;
    MessageBoxCapture boxes_;
};

}  // namespace dl_test
