// Windows sized by the user: the graph takes the client's size beyond the normal layout, the levels
// spread over its height, the lines over its width, and the labels keep clear of each other.
#include <algorithm>
#include <memory>
#include <vector>

#include "display/display_fixture.h"
#include "display/graph_area.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace {

using namespace dl_test;

TEST(GraphSize, TheNormalGraphUpToTheNormalLayoutAndAllTheRoomBeyondIt) {
    dl::LayoutUnits.CellWidth = 8;
    dl::LayoutUnits.CellHeight = 7;
    dl::Settings = dl::SettingsRecord{};
    const int w = dl::normal_client_width(1920), h = dl::normal_client_height();
    EXPECT_EQ(w, 592);
    EXPECT_EQ(h, 16 * 7 + 260);
    for (auto [cw, ch] : {std::pair{w, h}, std::pair{w - 50, h - 50}, std::pair{0, 0}}) {
        const dl::GraphSize g = dl::graph_size_for_client(cw, ch, 1920);
        EXPECT_EQ(g.width, 512);
        EXPECT_EQ(g.height, 256);
    }
    // The graph grows once the side panel has room at the top right beside the buttons.
    EXPECT_EQ(dl::graph_size_for_client(87 * 8 - 1, h, 1920).width, 512);
    EXPECT_EQ(dl::graph_size_for_client(87 * 8, h, 1920).width, 87 * 8 - 72);
    // Beyond it the scale's column keeps its nine cells, and the rows below the graph their height.
    const dl::GraphSize big = dl::graph_size_for_client(1600, 975, 1920);
    EXPECT_EQ(big.width, 1600 - 72);
    EXPECT_EQ(big.height, 975 - (h - 256));
    // The large layout's size gives the large graph exactly.
    EXPECT_EQ(dl::graph_size_for_client(dl::compute_window_width(1024, 8, 1920), h, 1920).width, 1024);
    // The meter strip takes its rows from the client, not from the graph.
    dl::Settings.level_meter = 2;
    EXPECT_EQ(dl::graph_size_for_client(1600, 975, 1920).height, big.height - 12 * 7);
    dl::ResetProcessState();
}

TEST(GraphSize, LinesSpreadOverAnyWidthAsTheyDidAtPowersOfTwo) {
    for (int bins : {256, 2048, 32768}) {
        for (int width : {512, 1024}) {
            // The former mapping: whole lines per column, or whole columns per line.
            const int per_column = std::max(bins / width, 1), per_line = std::max(width / bins, 1);
            const dl::LinearAxis axis(bins, width);
            for (int line = 0; line < bins; line += 7) ASSERT_EQ(axis.column(line), line * per_line / per_column);
        }
        for (int width : {728, 1528}) {
            const dl::LinearAxis axis(bins, width);
            // The lines reach the right edge, every column has a line where lines outnumber columns,
            // and the two directions agree: a line lies within the column it is drawn in.
            EXPECT_GE(axis.column(bins - 1), width - 1 - width / bins);
            EXPECT_LT(axis.column(bins - 1), width);
            EXPECT_DOUBLE_EQ(axis.line_at(width), bins);
            std::vector<bool> used(size_t(width), false);
            for (int line = 0; line < bins; ++line) {
                const int c = axis.column(line);
                used[size_t(c)] = true;
                ASSERT_LE(axis.line_at(c), line);
                ASSERT_GT(axis.line_at(c + 1), line);
            }
            if (bins >= width) {
                EXPECT_EQ(std::count(used.begin(), used.end(), true), width);
            }
        }
    }
}

class WindowSizeTest : public DisplayTest {
protected:
    // A client of this size, as the window's resize leaves the layout.
    void ConfigureClient(int client_width, int client_height) {
        Configure(512);
        const dl::GraphSize g = dl::graph_size_for_client(client_width, client_height, 1920);
        dl::LayoutUnits.GraphWidth = g.width;
        dl::LayoutUnits.GraphHeight = g.height;
        dl::LayoutUnits.WindowWidth = dl::compute_window_width(g.width, dl::CellWidth, 1920);
        window = std::make_unique<dl::Surface>(client_width, client_height);
        dl::WindowSurface = window.get();
        dl::DarkScheme = false;
        dl::SourceState.mode = dl::SourceMode::File;
        dl::SourceState.running = true;
        dl::Settings.fftparam = 12;
    }

    // Runs of columns (or rows) holding text in a band, split where a cell's width (height) is blank:
    // labels that collide run together.
    int TextRuns(int x0, int x1, int y0, int y1, bool along_x) const {
        const dl::Rgb face = dl::system_colour(dl::SysColour::ButtonFace);
        const int gap = along_x ? dl::CellWidth / 2 : 2;
        int runs = 0, blank = gap;
        const int from = along_x ? x0 : y0, to = along_x ? x1 : y1;
        for (int i = from; i < to; ++i) {
            bool ink = false;
            for (int j = along_x ? y0 : x0; j < (along_x ? y1 : x1) && !ink; ++j)
                ink = along_x ? At(i, j) != face : At(j, i) != face;
            if (ink && blank >= gap) ++runs;
            blank = ink ? 0 : blank + 1;
        }
        return runs;
    }
    int FrequencyLabelRuns() const {
        const int y = dl::FrequencyAxisTop();
        return TextRuns(0, window->width(), y, y + 2 * dl::CellHeight, true);
    }
    int AmplitudeLabelRuns() const {
        const int x = dl::GraphWidth + 2 * dl::CellWidth;
        return TextRuns(x, x + 7 * dl::CellWidth, dl::GraphTop() - dl::CellHeight, dl::GraphBottom() + dl::CellHeight,
                        false);
    }
};

// The labels of the normal layout are the ones of the Parts' pictures, clear of each other: a sized
// window shows as many separate labels.
TEST_F(WindowSizeTest, LabelsKeepClearOfEachOtherAt800By600And1600By1000) {
    for (int view : {109, 110}) {
        for (uint32_t rate : {44100u, 48000u, 22050u}) {
            ConfigureClient(dl::normal_client_width(1920), dl::normal_client_height());
            dl::Settings.display = view;
            SetRate(rate);
            PaintWindowWithTick(Levels(2048, 3), 12000, 30000);
            const int frequency_labels = FrequencyLabelRuns(), amplitude_labels = AmplitudeLabelRuns();
            EXPECT_GE(frequency_labels, 5);
            EXPECT_EQ(amplitude_labels, 9);
            // The clients a window of 800 × 600 and of 1600 × 1000 have under a title and menu bar.
            for (auto [cw, ch] : {std::pair{800, 575}, std::pair{1600, 975}}) {
                SCOPED_TRACE(testing::Message() << view << " " << rate << " " << cw << "x" << ch);
                ConfigureClient(cw, ch);
                dl::Settings.display = view;
                SetRate(rate);
                PaintWindowWithTick(Levels(2048, 3), 12000, 30000);
                EXPECT_EQ(dl::GraphWidth, cw - 9 * dl::CellWidth);
                EXPECT_EQ(dl::GraphHeight, ch - (dl::normal_client_height() - 256));
                EXPECT_EQ(FrequencyLabelRuns(), frequency_labels);
                EXPECT_EQ(AmplitudeLabelRuns(), amplitude_labels);
            }
        }
    }
}

// A bar's top stands at its level's share of the graph's height, and the grid's decibel lines at
// theirs: the -12 dB line a quarter of the way down a 459-row graph as on a 256-row one.
TEST_F(WindowSizeTest, LevelsAndTheGridSpreadOverTheGraphsHeight) {
    ConfigureClient(800, 575);
    dl::Settings.display = 109;
    dl::Settings.graph = dl::kGraphBar;
    const int H = dl::GraphHeight;
    ASSERT_EQ(H, 459);
    std::vector<uint8_t> levels(2048, 255);
    levels[1000] = 64;  // a quarter of the way down
    PaintWindowWithTick(levels, 0, 0);
    const int x = dl::GraphLeft() + dl::LinearAxis(2048, dl::GraphWidth).column(1000);
    const dl::Rgb bar = dl::kBlack;
    const int top = dl::GraphTop() + (64 * H + 128) / 256;
    EXPECT_EQ(At(x, top), bar);
    EXPECT_NE(At(x, top - 1), bar);
    EXPECT_EQ(At(x, dl::GraphBottom() - 1), bar);
    // The floor level leaves only the graph's last rows.
    EXPECT_NE(At(x + 20, dl::GraphBottom() - 3), bar);
    // -12 dB: 2^-2 of full scale, 28 rows down the normal graph.
    const int grid = dl::DecibelRow(1);
    EXPECT_EQ(grid, dl::GraphTop() + int(28.42 * H / 256));
    EXPECT_NE(At(x + 20, grid), dl::kWhite);
    EXPECT_EQ(At(x + 20, grid + 2), dl::kWhite);
}

}  // namespace
