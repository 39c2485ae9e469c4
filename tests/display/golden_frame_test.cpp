// Whole windows after a paint and one tick, compared exactly with stored pictures. Set
// DEWLARK_UPDATE_GOLDEN=1 to rewrite them after an intended change (and look at them).
#include <cstdlib>
#include <memory>

#include "display/display_fixture.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "support/test_support.h"

namespace {

using namespace dl_test;

struct Case {
    const char* name;
    int width;
    bool dark;
    int view, graph, colour;
    double scale = 1;  // device pixels per logical pixel
};

class GoldenFrame : public DisplayTest, public ::testing::WithParamInterface<Case> {};

TEST_P(GoldenFrame, MatchesStoredPicture) {
    const Case c = GetParam();
    Configure(c.width, 8, 7, c.scale);
    dl::DarkScheme = c.dark;
    dl::SourceState.mode = dl::SourceMode::File;
    dl::SourceState.running = true;
    dl::Settings.display = c.view;
    dl::Settings.graph = c.graph;
    dl::Settings.ColorScale = c.colour;
    dl::Settings.fftparam = 12;
    dl::Settings.PeakHold = 2;
    dl::PeakHoldValues = {20000, 26000};
    PaintWindowWithTick(Levels(2048, 1), 12000, 30000);

    const std::string golden = std::string(DEWLARK_TEST_DATA) + "/golden/" + c.name + ".png";
    const std::string actual = temp_dir() + "/" + c.name + ".png";
    ASSERT_TRUE(window->save_png(actual));
    const char* update = std::getenv("DEWLARK_UPDATE_GOLDEN");
    if (update && *update == '1') {
        ASSERT_TRUE(window->save_png(golden));
        return;
    }
    const std::string want = read_file(golden);
    ASSERT_FALSE(want.empty()) << "missing " << golden;
    EXPECT_TRUE(read_file(actual) == want) << "picture differs from " << golden << "; see " << actual;
}

// At scale 2 the window is the 1x picture with every logical pixel a 2x2 block, except for text, which is
// drawn at the real pixel size: the pixels of the two differ only in the text's cells.
TEST_F(DisplayTest, DoubleScaleWindowIsTheSamePictureWithFinerText) {
    std::unique_ptr<dl::Surface> pictures[2];
    for (int k = 0; k < 2; ++k) {
        Configure(512, 8, 7, k + 1);
        dl::SourceState.mode = dl::SourceMode::File;
        dl::SourceState.running = true;
        dl::Settings.display = 109;
        dl::Settings.fftparam = 12;
        PaintWindowWithTick(Levels(2048, 1), 12000, 30000);
        pictures[k] = std::move(window);
        dl::WindowSurface = nullptr;
    }
    const dl::Surface &one = *pictures[0], &two = *pictures[1];
    ASSERT_EQ(two.device_width(), 2 * one.width());
    int blocks = 0, differ = 0, uneven = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x) {
            const dl::Rgb c = two.device_pixel(2 * x, 2 * y);
            uneven += two.device_pixel(2 * x + 1, 2 * y) != c || two.device_pixel(2 * x, 2 * y + 1) != c ||
                      two.device_pixel(2 * x + 1, 2 * y + 1) != c;
            differ += c != one.pixel(x, y);
            ++blocks;
        }
    // Only text makes blocks uneven or different, and text is a small part of the window.
    EXPECT_GT(uneven, 0);
    EXPECT_LT(differ, blocks / 20);
    EXPECT_LT(uneven, blocks / 20);
    // The graph's border and grid: one-pixel lines two device pixels wide, where the 1x lines are.
    const int top = 13 * Y(), left = X() - 1;
    for (int y = top + 20; y < top + 250; y += 7) {
        EXPECT_EQ(one.pixel(left, y), two.device_pixel(2 * left, 2 * y)) << y;
        EXPECT_EQ(two.device_pixel(2 * left, 2 * y), two.device_pixel(2 * left + 1, 2 * y + 1)) << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, GoldenFrame,
                         ::testing::Values(Case{"linear_line_dark_512", 512, true, 109, 116, 0},
                                           Case{"log_colour_bars_light_512", 512, false, 110, 117, 1},
                                           Case{"tuning_dark_512", 512, true, 111, 117, 0},
                                           Case{"linear_colour_bars_dark_1024", 1024, true, 109, 117, 1},
                                           Case{"log_bars_light_1024", 1024, false, 110, 117, 0},
                                           Case{"tuning_light_1024", 1024, false, 111, 116, 0},
                                           Case{"linear_line_dark_512_x2", 512, true, 109, 116, 0, 2},
                                           Case{"log_colour_bars_light_512_x1_5", 512, false, 110, 117, 1, 1.5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
