#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/test_support.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // Every test run keeps its settings in a folder of its own.
    dl_test::use_temporary_profile();
    dl_test::keep_pointer_off_the_desktop();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
