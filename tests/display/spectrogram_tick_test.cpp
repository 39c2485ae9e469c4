// The spectrogram view as ticks draw it: the real analysis of tones and silence, looked at on the
// window's pixels.
#include <algorithm>
#include <cmath>
#include <vector>

#include "display/pipeline_fixture.h"
#include "display/frame.h"
#include "display/spectrogram.h"
#include "display/spectrogram_colours.h"
#include "resources/command_ids.h"
#include "state/view.h"

namespace {

using namespace dl_test;

class SpectrogramTicks : public AnalysisTest {
protected:
    void SetUp() override {
        AnalysisTest::SetUp();
        dl::Settings.display = dl::kViewSpectrogram;
        dl::Settings.fftparam = 12;
        dl::Settings.mado = 0;
        dl::DarkScheme = true;
        // One column a tick, as the tests below count them.
        tick_seconds_ = dl::SpectrogramSpan() / dl::GraphWidth;
    }

    void tone(double hz, int ticks = 1) {
        for (int t = 0; t < ticks; ++t) tick(pcm16(sine(4096, hz, 12000, 44100)));
    }
    void silence(int ticks = 1) {
        for (int t = 0; t < ticks; ++t) tick(pcm16(std::vector<int>(4096, 0)));
    }

    int Left() const { return dl::CellWidth; }
    int Top() const { return 13 * dl::CellHeight; }

    // The colour index a pixel of the graph shows, or -1 for a colour not in the table.
    int IndexAt(int column, int row) const {
        const dl::Rgb c = window_->pixel(Left() + column, Top() + row);
        const auto& table = dl::SpectrogramColours();
        for (int k = 255; k >= 0; --k)
            if (table[size_t(k)] == c) return k;
        return -1;
    }
    // The row of graph column `column` drawn in the brightest colour (the topmost of equals).
    int LoudestRow(int column) const {
        int best = -1, row = -1;
        for (int r = 0; r < 256; ++r) {
            const int k = IndexAt(column, r);
            if (k > best) best = k, row = r;
        }
        return row;
    }
    // Where the log view's scale puts a frequency, turned upwards: the view's x of the line
    // position over a graph 256 pixels high.
    static int LogScaleRow(double hz) {
        const double bins = 2048, bin = hz * 4096 / 44100;
        return 255 - int(std::floor(256 * std::log(2 * bin) / std::log(2 * bins)));
    }
};

TEST_F(SpectrogramTicks, ToneRowSitsWhereTheLogScalePutsItsFrequency) {
    for (int width : {512, 1024}) {
        dl::LayoutUnits.GraphWidth = width;
        for (double hz : {1000.0, 250.0, 8000.0}) {
            tone(hz);
            const int row = LoudestRow(dl::GraphWidth - 1);
            EXPECT_NEAR(row, LogScaleRow(hz), 1) << hz << " Hz, graph " << width;
            EXPECT_GE(IndexAt(dl::GraphWidth - 1, row), 230) << "a tone 8 dB below full scale is near the top of the map";
        }
    }
    // 1 kHz in particular, as the scale column labels it.
    EXPECT_EQ(LogScaleRow(1000), 95);
}

TEST_F(SpectrogramTicks, SteppedToneDrawsThreeSegmentsInTimeOrder) {
    tone(330, 4);
    tone(660, 4);
    tone(1320, 4);
    const int W = dl::GraphWidth;
    const int expected[3] = {LogScaleRow(330), LogScaleRow(660), LogScaleRow(1320)};
    EXPECT_GT(expected[0], expected[1]);
    EXPECT_GT(expected[1], expected[2]);
    for (int segment = 0; segment < 3; ++segment) {
        for (int k = 0; k < 4; ++k) {
            const int column = W - 12 + 4 * segment + k;
            EXPECT_NEAR(LoudestRow(column), expected[segment], 1) << "segment " << segment << " column " << column;
        }
    }
    // Before the first block nothing was analysed: the floor's colour.
    EXPECT_EQ(window_->pixel(Left() + W - 13, Top() + expected[0]), dl::SpectrogramColours()[0]);
    EXPECT_EQ(window_->pixel(Left(), Top() + 128), dl::SpectrogramColours()[0]);
}

TEST_F(SpectrogramTicks, SilenceDrawsTheColourOfTheFloor) {
    silence(3);
    const dl::Rgb floor = dl::SpectrogramColours()[0];
    for (int column : {dl::GraphWidth - 3, dl::GraphWidth - 1})
        for (int r = 0; r < 256; ++r) ASSERT_EQ(window_->pixel(Left() + column, Top() + r), floor) << column << "," << r;
    EXPECT_NE(floor, dl::kBlack) << "the floor's colour differs from the empty graph's";
}

TEST_F(SpectrogramTicks, DecibelAndExpandLeaveTheColoursAlone) {
    tone(1000);
    const int loud = IndexAt(dl::GraphWidth - 1, LogScaleRow(1000));
    dl::Settings.Decibel = false;
    dl::Settings.Expand = true;
    tone(1000);
    EXPECT_EQ(IndexAt(dl::GraphWidth - 1, LogScaleRow(1000)), loud);
    EXPECT_EQ(IndexAt(dl::GraphWidth - 2, LogScaleRow(1000)), loud);
}

TEST_F(SpectrogramTicks, PinkNoiseIsFlatRaisesHighLines) {
    tone(8000);
    const int W = dl::GraphWidth;
    const int plain = IndexAt(W - 1, LoudestRow(W - 1));
    dl::Settings.katamuki = 1;
    tone(8000);
    EXPECT_GT(IndexAt(W - 1, LoudestRow(W - 1)), plain);
}

TEST_F(SpectrogramTicks, LabelsNeverSmearAcrossThePicture) {
    // Peak labels are drawn over the newest columns each tick; the picture that moves on must be
    // the history alone.
    dl::Settings.freqnum = 4;
    dl::Settings.withlevel = 1;
    for (double hz : {440.0, 880.0, 1760.0, 523.0, 3000.0, 300.0}) tone(hz, 3);
    const int W = dl::GraphWidth;
    int checked = 0;
    // Columns left of where this tick's labels can reach show exactly what the history holds.
    for (int c = W - 18; c < W; ++c) {
        for (int r = 0; r < 256; ++r) {
            bool under_label = false;
            for (const auto& b : dl::Spectrogram.labels)
                under_label |= Left() + c >= b.left && Left() + c < b.right && Top() + r >= b.top && Top() + r < b.bottom;
            if (under_label) continue;
            ASSERT_EQ(IndexAt(c, r), dl::SpectrogramCell(c, r)) << c << "," << r;
            ++checked;
        }
    }
    EXPECT_GT(checked, 1000);
    EXPECT_FALSE(dl::Spectrogram.labels.empty()) << "labels were drawn";
    for (const auto& b : dl::Spectrogram.labels) {
        EXPECT_GE(b.left, Left());
        EXPECT_LE(b.right, Left() + W) << "a label past the graph's edge would stay behind on the window";
    }
}

TEST_F(SpectrogramTicks, OffScreenSurfaceGivesTheSamePicture) {
    tone(440, 2);
    tone(2000, 2);
    std::vector<int> direct;
    for (int c = dl::GraphWidth - 4; c < dl::GraphWidth; ++c) direct.push_back(LoudestRow(c));

    dl::ResetSpectrogram();
    dl::Settings.UseMemDC = 1;
    dl::PrepareDisplayResources();
    ASSERT_NE(dl::DrawSurface, nullptr);
    tone(440, 2);
    tone(2000, 2);
    std::vector<int> composed;
    for (int c = dl::GraphWidth - 4; c < dl::GraphWidth; ++c) composed.push_back(LoudestRow(c));
    EXPECT_EQ(composed, direct);
}

}  // namespace
