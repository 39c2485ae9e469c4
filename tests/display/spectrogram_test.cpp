// The spectrogram view's frame, key and history, drawn from display levels.
#include <cmath>
#include <vector>

#include "display/display_fixture.h"
#include "display/spectrogram.h"
#include "display/spectrogram_colours.h"
#include "display/spectrogram_scale.h"
#include "resources/command_ids.h"
#include "state/view.h"

namespace {

using namespace dl_test;
using dl::Rgb;

class Spectrogram : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        dl::Settings.display = dl::kViewSpectrogram;
    }
    void Frame() {
        dl::Dc dc(*window);
        dl::DrawFrame(dc);
    }
    // One block whose lines all stand at `level` (0 full scale, 255 the floor).
    void Block(int level, int bins = 2048) {
        dl::Dc dc(*window);
        const std::vector<uint8_t> levels(static_cast<size_t>(bins), uint8_t(level));
        dl::DrawSpectrogram(dc, levels.data(), bins);
    }
    Rgb Graph(int column, int row) const { return At(X() + column, Top() + row); }
};

TEST_F(Spectrogram, KeyShowsTheTableTopToBottomInBothSchemes) {
    const auto& table = dl::SpectrogramColours();
    for (bool dark : {true, false}) {
        dl::DarkScheme = dark;
        Frame();
        const int left = dl::SpectrogramKeyLeft();
        ASSERT_LT(left + dl::SpectrogramKeyWidth(), dl::WindowWidth) << "the key is inside the window";
        for (int r = 0; r < 256; ++r) {
            ASSERT_EQ(At(left, Top() + r), table[size_t(255 - r)]) << r;
            ASSERT_EQ(At(left + dl::SpectrogramKeyWidth() - 1, Top() + r), table[size_t(255 - r)]) << r;
        }
        EXPECT_NE(At(left, Top() - 1), table[255]) << "nothing of the key above the graph's top";
    }
}

TEST_F(Spectrogram, TableRunsFromDarkToBrightAndSpansNinetySixDecibels) {
    const auto& table = dl::SpectrogramColours();
    for (size_t k = 1; k < table.size(); ++k) EXPECT_GE(dl::luma(table[k]) + 2, dl::luma(table[k - 1])) << k;
    EXPECT_LT(dl::luma(table[0]), 8);
    EXPECT_GT(dl::luma(table[255]), 230);
    // Level 0 (full scale) is the top entry; 96 dB down (level 225.5) and below the bottom one.
    EXPECT_EQ(dl::SpectrogramIndexOfLevel(0), 255);
    EXPECT_EQ(dl::SpectrogramIndexOfLevel(226), 0);
    EXPECT_EQ(dl::SpectrogramIndexOfLevel(255), 0);
    EXPECT_NEAR(dl::SpectrogramIndexOfLevel(113), 128, 1) << "48 dB down is the middle";
    EXPECT_DOUBLE_EQ(dl::SpectrogramIndexDecibels(0), -96);
    EXPECT_DOUBLE_EQ(dl::SpectrogramIndexDecibels(255), 0);
}

TEST_F(Spectrogram, ColumnsEnterAtTheRightAndMoveLeft) {
    Frame();
    Block(0);
    Block(255);
    const auto& table = dl::SpectrogramColours();
    EXPECT_EQ(Graph(W() - 1, 100), table[0]);
    EXPECT_EQ(Graph(W() - 2, 100), table[255]);
    EXPECT_EQ(Graph(W() - 3, 100), dl::kBlack) << "no block there yet: the dark graph's background";
    for (int k = 0; k < W(); ++k) Block(k % 2 ? 0 : 255);
    // A full graph: the oldest block has gone out at the left.
    EXPECT_EQ(Graph(0, 50), table[0]);
    EXPECT_EQ(Graph(W() - 1, 50), table[255]);
    EXPECT_EQ(Graph(W() - 2, 50), table[0]);
}

TEST_F(Spectrogram, FrameRedrawsTheHistoryAfterItClearsTheGraph) {
    dl::DarkScheme = false;
    Frame();
    for (int k = 0; k < 40; ++k) Block(k * 5);
    std::vector<Rgb> before;
    for (int c = 0; c < W(); c += 7)
        for (int r = 0; r < 256; r += 5) before.push_back(Graph(c, r));
    Frame();  // a paint
    std::vector<Rgb> after;
    for (int c = 0; c < W(); c += 7)
        for (int r = 0; r < 256; r += 5) after.push_back(Graph(c, r));
    EXPECT_EQ(after, before);
    EXPECT_EQ(Graph(0, 0), dl::kWhite) << "the light graph's background where nothing was analysed";
}

TEST_F(Spectrogram, ResetAndAnotherWidthStartAfresh) {
    Frame();
    Block(0);
    dl::ResetSpectrogram();
    Frame();
    EXPECT_EQ(Graph(W() - 1, 10), dl::kBlack);
    Block(0);
    Configure(1024);
    dl::Settings.display = dl::kViewSpectrogram;
    Frame();
    EXPECT_EQ(Graph(W() - 1, 10), dl::kBlack) << "the history was for another width";
    Block(0);
    EXPECT_EQ(Graph(W() - 1, 10), dl::SpectrogramColours()[255]);
    EXPECT_EQ(Graph(W() - 2, 10), dl::kBlack);
}

TEST_F(Spectrogram, RowsFollowTheLogViewsScale) {
    // Nyquist on the top edge, one octave a fixed number of rows, DC at the bottom.
    EXPECT_EQ(dl::SpectrogramRow(2048, 2048), 0);
    EXPECT_EQ(dl::SpectrogramRow(0, 2048), 255);
    const int octave = dl::SpectrogramRow(100, 2048) - dl::SpectrogramRow(200, 2048);
    EXPECT_NEAR(octave, 256 * std::log(2.0) / std::log(4096.0), 1);
    for (int row : {3, 95, 200}) EXPECT_EQ(dl::SpectrogramRow(dl::SpectrogramBinAtRow(row, 2048), 2048), row);
}

TEST_F(Spectrogram, ScaledSurfaceDrawsEachCellOverItsDevicePixels) {
    Configure(512, 8, 7, 2);
    dl::Settings.display = dl::kViewSpectrogram;
    Frame();
    Block(0);
    Block(255);
    const auto& table = dl::SpectrogramColours();
    const int x = 2 * (X() + W() - 1), y = 2 * (Top() + 40);
    for (int dx : {0, 1})
        for (int dy : {0, 1}) {
            EXPECT_EQ(window->device_pixel(x + dx, y + dy), table[0]);
            EXPECT_EQ(window->device_pixel(x - 2 + dx, y + dy), table[255]);
        }
}

}  // namespace
