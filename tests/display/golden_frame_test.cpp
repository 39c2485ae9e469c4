// Whole windows after a paint and one tick, compared exactly with stored pictures. Set
// DEWLARK_UPDATE_GOLDEN=1 to rewrite them after an intended change (and look at them).
#include <cstdlib>

#include "display/display_fixture.h"
#include "state/engine.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/view.h"
#include "support/test_support.h"

namespace {

using namespace dl_test;

struct Case {
    const char* name;
    int width;
    bool dark;
    int view, graph, colour;
};

class GoldenFrame : public DisplayTest, public ::testing::WithParamInterface<Case> {};

TEST_P(GoldenFrame, MatchesStoredPicture) {
    const Case c = GetParam();
    Configure(c.width);
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

INSTANTIATE_TEST_SUITE_P(Windows, GoldenFrame,
                         ::testing::Values(Case{"linear_line_dark_512", 512, true, 109, 116, 0},
                                           Case{"log_colour_bars_light_512", 512, false, 110, 117, 1},
                                           Case{"tuning_dark_512", 512, true, 111, 117, 0},
                                           Case{"linear_colour_bars_dark_1024", 1024, true, 109, 117, 1},
                                           Case{"log_bars_light_1024", 1024, false, 110, 117, 0},
                                           Case{"tuning_light_1024", 1024, false, 111, 116, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
