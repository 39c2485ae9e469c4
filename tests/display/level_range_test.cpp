// The chosen level range's table and where a line's bar tops out on it.
#include <cmath>
#include <utility>
#include <vector>

#include "analysis/pipeline_levels.h"
#include "display/analysis_settings.h"
#include "display/display_fixture.h"
#include "display/frequency_axis.h"
#include "display/level_scale.h"
#include "state/analysis.h"

namespace {

using namespace dl_test;
using dl::FrequencyAxis;

const dl::Rgb kGridDark = dl::rgb(0x808080);

class LevelRange : public DisplayTest {};

TEST(LevelRangeTable, MatchesTheFormulaWithoutALogPerLine) {
    for (auto [top, span] : {std::pair{0, 80}, std::pair{-20, 20}, std::pair{20, 160}, std::pair{-60, 100}}) {
        const dl::DecibelLevelTable table(top, span);
        int mismatches = 0;
        for (double db = top + 10; db > top - span - 10; db -= 0.0137) {
            const double p = std::pow(10.0, db / 10);
            const int want = int(std::clamp((top - 10 * std::log10(p)) * 255 / span, 0.0, 255.0));
            mismatches += table(p) != want;
        }
        EXPECT_EQ(mismatches, 0) << top << " " << span;
        EXPECT_EQ(table(0.0), 255);
        EXPECT_EQ(table(std::nan("")), 255);
        EXPECT_EQ(table(1e30), 0);
    }
}

// A -20 dBFS line on a 0..-80 dB range tops out on the -20 dB grid line, where the scale says.
TEST_F(LevelRange, ALevelRangePutsATonesBarTopOnItsGridLine) {
    dl::Settings.display = 110;
    dl::Settings.graph = 117;
    dl::Settings.db_top = 0;
    dl::Settings.db_span = 80;
    ASSERT_TRUE(dl::DecibelRangeOn(dl::AnalysisParamsOfSettings()));
    const int bins = 2048;
    std::vector<double> powers(bins, 1e-12);
    powers[300] = 0.01;  // -20 dB of full scale
    std::vector<uint8_t> levels(bins);
    dl::LevelsOfPowers(dl::AnalysisParamsOfSettings(), dl::RunAnalyser.level_range, bins, powers.data(), levels.data());
    const int row = dl::RangeDecibelRow(-20);
    EXPECT_EQ(Top() + dl::LevelRow(levels[300]), row);
    EXPECT_NEAR(dl::DepthDecibels(levels[300]), -20, 80.0 / 255);
    const std::vector<int> grid = dl::RangeGridDecibels();
    EXPECT_EQ(grid, (std::vector<int>{-10, -20, -30, -40, -50, -60, -70}));
    dl::Dc dc(*window);
    dl::DrawLogSpectrum(dc, levels.data(), bins);
    const int c = dl::GraphLeft() + FrequencyAxis::OfView(bins).column(300);
    EXPECT_EQ(At(c, row), dl::kWhite);
    EXPECT_NE(At(c, row - 1), dl::kWhite);
    EXPECT_EQ(At(dl::GraphLeft() + 5, row), kGridDark);
}

}  // namespace
