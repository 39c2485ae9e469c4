// The spectrogram view's frame, key and history, drawn from display levels.
#include <algorithm>
#include <cmath>
#include <map>
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
    // One block whose lines all stand at `level` (0 full scale, 255 the floor), `columns` of the
    // graph after the last one.
    void Block(int level, int bins = 2048, double columns = 1) {
        dl::Dc dc(*window);
        const std::vector<uint8_t> levels(static_cast<size_t>(bins), uint8_t(level));
        dl::DrawSpectrogram(dc, levels.data(), bins, seconds);
        seconds += columns * dl::SpectrogramSpan() / dl::GraphWidth;
    }
    double seconds = 0;
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
    EXPECT_EQ(Graph(W() - 3, 100), table[0]) << "not reached yet: the floor's colour";
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
    EXPECT_EQ(Graph(0, 0), dl::SpectrogramColours()[0]) << "the floor's colour where nothing was analysed";
}

TEST_F(Spectrogram, ResetAndAnotherWidthStartAfresh) {
    Frame();
    Block(0);
    const dl::Rgb floor = dl::SpectrogramColours()[0];
    dl::ResetSpectrogram();
    Frame();
    EXPECT_EQ(Graph(W() - 1, 10), floor);
    Block(0);
    Configure(1024);
    dl::Settings.display = dl::kViewSpectrogram;
    Frame();
    EXPECT_EQ(Graph(W() - 1, 10), floor) << "the history was for another width";
    Block(0);
    EXPECT_EQ(Graph(W() - 1, 10), dl::SpectrogramColours()[255]);
    EXPECT_EQ(Graph(W() - 2, 10), floor);
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

TEST_F(Spectrogram, AdvancesAtTheChosenSpanWhateverTheTick) {
    // A loud block, then silence for 20 s of ticks as the window's timer gives them: the loud
    // column has moved left by 20 s worth of columns, within 2 %, at fine and coarse ticks.
    dl::Settings.spectrogram_span = 30;
    const double per_second = W() / 30.0;
    for (uint32_t deltatime : {32u, 2048u, 32768u}) {
        dl::ResetSpectrogram();
        Frame();
        const double tick = deltatime / 11025.0;
        const std::vector<uint8_t> loud(256, 0), quiet(256, 255);
        dl::Dc dc(*window);
        dl::DrawSpectrogram(dc, loud.data(), 256, 0);
        double t = tick;
        for (; t < 20 + tick / 2; t += tick) dl::DrawSpectrogram(dc, quiet.data(), 256, t);
        t -= tick;
        int loud_at = -1;
        for (int c = 0; c < W(); ++c)
            if (Graph(c, 200) == dl::SpectrogramColours()[255]) loud_at = c;
        ASSERT_GE(loud_at, 0) << deltatime;
        const double moved = W() - 1 - loud_at;
        // The newest block reaches half a tick past its time.
        EXPECT_NEAR(moved, (t + tick / 2) * per_second, 0.02 * t * per_second)
            << "deltatime " << deltatime << " over " << t << " s";
        EXPECT_GT(t, 17.0) << "20 s of ticks, near enough";
    }
}

TEST_F(Spectrogram, TimeAxisLabelsTheSpanInSeconds) {
    dl::Settings.spectrogram_span = 10;
    std::vector<dl::SpectrogramTimeLabel> labels = dl::SpectrogramTimeLabels(512);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(labels.front().text, "0 s");
    EXPECT_DOUBLE_EQ(labels.front().x, 512) << "now is the right edge";
    EXPECT_DOUBLE_EQ(labels.back().seconds, -10);
    EXPECT_DOUBLE_EQ(labels.back().x, 0);
    for (size_t k = 1; k < labels.size(); ++k) EXPECT_LT(labels[k].x, labels[k - 1].x);
    EXPECT_LE(labels.size(), 8u) << "no crowding at 512 pixels";
    for (int span : {2, 5, 30, 60}) {
        dl::Settings.spectrogram_span = span;
        labels = dl::SpectrogramTimeLabels(512);
        EXPECT_GE(labels.size(), 3u) << span;
        EXPECT_LE(labels.size(), 8u) << span;
    }
    // A whole sound counts from its start.
    dl::Spectrogram.span = 3.2;
    dl::Spectrogram.from_start = true;
    labels = dl::SpectrogramTimeLabels(512);
    EXPECT_EQ(labels.front().text, "0 s");
    EXPECT_DOUBLE_EQ(labels.front().x, 0);
    EXPECT_EQ(labels[1].text, "0.5") << "half seconds where a label has room every 80 pixels";
    EXPECT_NEAR(labels[1].x, 512 * 0.5 / 3.2, 1e-9);
    EXPECT_EQ(labels[2].text, "1.0");
}

TEST_F(Spectrogram, TheWindowsAxisIsLabelledAcrossTheWidth) {
    // Labels run leftwards from "0 s" at the right edge: every part of the axis carries some.
    dl::Settings.spectrogram_span = 10;
    Frame();
    const int band = dl::FrequencyAxisTop();
    // The band's own colour is the one most of its pixels have.
    std::map<uint32_t, int> count;
    for (int x = X(); x < X() + W(); ++x) ++count[uint32_t(At(x, band + 1).r) << 16 | uint32_t(At(x, band + 1).g) << 8 | At(x, band + 1).b];
    const uint32_t most = std::max_element(count.begin(), count.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    const Rgb face{uint8_t(most >> 16), uint8_t(most >> 8), uint8_t(most)};
    auto ink = [&](int x0, int x1) {
        int n = 0;
        for (int x = X() + x0; x < X() + x1; ++x)
            for (int y = band; y < band + dl::CellHeight + 2; ++y) n += At(x, y) != face;
        return n;
    };
    for (int quarter = 0; quarter < 4; ++quarter)
        EXPECT_GT(ink(quarter * W() / 4, (quarter + 1) * W() / 4), 5) << "quarter " << quarter;
}

TEST_F(Spectrogram, PictureOfAWholeSoundFillsFromTheLeftEdge) {
    dl::Spectrogram.span = 2;
    dl::Spectrogram.from_start = true;
    Frame();
    const auto& table = dl::SpectrogramColours();
    const dl::Rgb middle = table[dl::SpectrogramIndexOfLevel(128)];
    Block(0, 2048, 100);
    // A tick fills the columns since the last one, and half as far again past its own time.
    Block(128, 2048, 100);
    EXPECT_EQ(Graph(0, 30), table[255]) << "the start at the left";
    EXPECT_EQ(Graph(1, 30), middle);
    EXPECT_EQ(Graph(150, 30), middle);
    EXPECT_EQ(Graph(151, 30), table[0]) << "not reached: the floor";
    EXPECT_EQ(Graph(W() - 1, 30), table[0]);
    Block(0, 2048, 100);
    EXPECT_EQ(Graph(200, 30), table[255]) << "the third block where its time is";
    EXPECT_EQ(Graph(250, 30), table[255]);
    EXPECT_EQ(Graph(0, 30), table[255]) << "the first has not moved";
    EXPECT_EQ(Graph(150, 30), middle);
    // Ticks within one column keep the loudest.
    Block(0, 2048, 0.25);
    EXPECT_EQ(Graph(350, 30), table[255]);
    EXPECT_EQ(Graph(351, 30), table[0]);
    Block(255, 2048, 0.25);
    EXPECT_EQ(Graph(350, 30), table[255]) << "the quieter tick in the same column";
    EXPECT_EQ(Graph(351, 30), table[0]);
}

}  // namespace
