// What the program says where the desktop lacks something it uses: a browser for the help page,
// a display for the window.
#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "resources/command_ids.h"
#include "state/shell.h"

namespace {

using dl_test::AppTest;

TEST_F(AppTest, HelpWithoutABrowserSaysWhereThePageIs) {
    start();
    // Off screen there is no browser to hand the page to, whether the page is there or not.
    const std::string data = std::getenv("DEWLARK_DATA_DIR");
    for (bool page_present : {false, true}) {
        if (page_present) dl_test::write_file(data + "/dewlark.html", "<html></html>");
        boxes_.boxes.clear();
        dl::DispatchCommand(dl::kCmdHelp, 0);
        ASSERT_EQ(boxes_.texts().size(), 1u) << page_present;
        EXPECT_NE(boxes_.texts()[0].find("could not be opened"), std::string::npos) << boxes_.texts()[0];
        EXPECT_NE(boxes_.texts()[0].find(data + "/dewlark.html"), std::string::npos) << boxes_.texts()[0];
    }
    dl::JapaneseUi = true;
    boxes_.boxes.clear();
    dl::DispatchCommand(dl::kCmdHelp, 0);
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_NE(boxes_.texts()[0].find("ヘルプを開けません"), std::string::npos) << boxes_.texts()[0];
    dl::JapaneseUi = false;
}

TEST(Desktop, AWindowWithoutADisplayIsAClearFailure) {
    for (const char* display : {"", "DISPLAY=:97"}) {
        const dl_test::ProgramRun r =
            dl_test::run_program_env(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + display,
                                     std::string(DEWLARK_TEST_DATA) + "/wav_pcm8_11k_mono.wav");
        EXPECT_EQ(r.status, 1) << display << ": " << r.err;
        EXPECT_NE(r.err.find("dewlark: cannot show the window: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--analyse"), std::string::npos) << r.err;
    }
    // The batch commands need none.
    const dl_test::ProgramRun info = dl_test::run_program_env(
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM",
        "--info " + std::string(DEWLARK_TEST_DATA) + "/wav_pcm8_11k_mono.wav");
    EXPECT_EQ(info.status, 0) << info.err;
}

}  // namespace
