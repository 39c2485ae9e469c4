// --png of the spectrogram view: the whole file across the graph's width with its time axis, or
// the last span when one is asked for.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <sstream>
#include <string>

#include "audio/playback_fixture.h"
#include "display/graph_area.h"
#include "display/spectrogram_colours.h"
#include "state/layout_units.h"
#include "support/test_support.h"

namespace {

// The row of a frequency on the log view's scale turned upwards (2^12-point transform at 44.1 kHz).
int LogScaleRow(double hz) {
    const double bin = hz * 4096 / 44100;
    return 255 - int(std::floor(256 * std::log(2 * bin) / std::log(4096.0)));
}

int IndexOf(QRgb c) {
    const auto& table = dl::SpectrogramColours();
    for (int k = 255; k >= 0; --k)
        if (table[size_t(k)] == dl::Rgb{uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c))}) return k;
    return -1;
}

class SpectrogramBatch : public ::testing::Test {
protected:
    // The tones of one second each, analysed to a picture with the extra arguments.
    QImage Picture(const std::vector<double>& hz, const std::string& extra) {
        const std::string wav = dl_test::write_file("steps.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, hz, 1.0)));
        const std::string png = dl_test::temp_dir() + "/spectrogram.png";
        const dl_test::ProgramRun run = dl_test::run_program("--analyse " + wav + " --defaults --set display=112 " + extra + " --png " + png);
        EXPECT_EQ(run.status, 0) << run.err;
        dl::measure_layout_units();  // the batch run's layout, from the same font
        return QImage(QString::fromStdString(png));
    }
    // The row of a graph column drawn in the brightest colour, or -1 where it shows only the floor.
    static int LoudestRow(const QImage& picture, int column) {
        int best = 0, row = -1;
        for (int r = 0; r < 256; ++r) {
            const int k = IndexOf(picture.pixel(dl::GraphLeft() + column, dl::GraphTop() + r));
            if (k > best) best = k, row = r;
        }
        return row;
    }
    // Which tone each graph column shows (its index in `hz`), -1 for none.
    static std::vector<int> ToneOfColumns(const QImage& picture, const std::vector<double>& hz) {
        std::vector<int> tone;
        for (int column = 0; column < 512; ++column) {
            const int row = LoudestRow(picture, column);
            int which = -1;
            for (size_t k = 0; k < hz.size(); ++k)
                if (row >= 0 && std::abs(row - LogScaleRow(hz[k])) <= 1) which = int(k);
            tone.push_back(which);
        }
        return tone;
    }
};

TEST_F(SpectrogramBatch, WholeFileRisesInTimeOrderAcrossTheWidthWithSecondLabels) {
    const std::vector<double> hz = {500, 1000, 2000};
    const QImage picture = Picture(hz, "");
    ASSERT_FALSE(picture.isNull());
    const std::vector<int> tone = ToneOfColumns(picture, hz);
    // The peak labels stand over the newest columns: those are read on their side of the labels.
    int covered = 0, last = 0;
    for (int column = 0; column < 512; ++column) {
        if (tone[size_t(column)] < 0) continue;
        ++covered;
        EXPECT_GE(tone[size_t(column)], last) << "the bands rise in time order, column " << column;
        last = std::max(last, tone[size_t(column)]);
    }
    EXPECT_EQ(tone[5], 0);
    EXPECT_EQ(tone[256], 1) << "one second a third of the width";
    EXPECT_EQ(tone[427], 2);
    int first_second = -1;
    for (int column = 0; column < 512 && first_second < 0; ++column)
        if (tone[size_t(column)] == 1) first_second = column;
    EXPECT_NEAR(first_second, 171, 16) << "within half a time slice of its second";
    EXPECT_GE(covered, 512 * 80 / 100) << "the bands reach across the graph (labels cover some columns)";
    int first_third = -1, last_third = -1;
    for (int column = 0; column < 512; ++column)
        if (tone[size_t(column)] == 2) {
            if (first_third < 0) first_third = column;
            last_third = column;
        }
    EXPECT_NEAR(first_third, 341, 16) << "within half a time slice of its second";
    EXPECT_GE(last_third, 512 * 90 / 100) << "the last second reaches the right edge";

    // Second labels under the graph: text pixels in the band under column 0 ("0 s") and the right
    // part, none under the frequency labels' place beside the graph (those are in the column).
    const QRgb face = picture.pixel(dl::GraphLeft() + 128, dl::FrequencyAxisTop() + 1);
    auto ink = [&](int x0, int x1) {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = dl::FrequencyAxisTop(); y < dl::FrequencyAxisTop() + 2 * dl::CellHeight; ++y)
                n += picture.pixel(x, y) != face;
        return n;
    };
    EXPECT_GT(ink(dl::GraphLeft(), dl::GraphLeft() + 3 * dl::CellWidth), 10) << "\"0 s\" at the left";
    EXPECT_GT(ink(dl::GraphLeft() + 170 - dl::CellWidth, dl::GraphLeft() + 170 + dl::CellWidth), 5) << "1 s";
    EXPECT_GT(ink(dl::GraphLeft() + 341 - dl::CellWidth, dl::GraphLeft() + 341 + dl::CellWidth), 5) << "2 s";
    EXPECT_EQ(ink(dl::GraphLeft() + 105, dl::GraphLeft() + 150), 0) << "nothing between the labels";
}

TEST_F(SpectrogramBatch, AskedSpanShowsTheLastSecondsAtTheRightEdge) {
    const std::vector<double> hz = {1000, 2000, 4000, 8000};
    const QImage picture = Picture(hz, "--set spectrogram_span=2 --set deltatime=64 --set tuner=0");
    ASSERT_FALSE(picture.isNull());
    const std::vector<int> tone = ToneOfColumns(picture, hz);
    int seen[4] = {};
    for (int column = 0; column < 512 - 128; ++column)
        if (tone[size_t(column)] >= 0) ++seen[tone[size_t(column)]];
    EXPECT_EQ(seen[0] + seen[1], 0) << "the first two seconds have gone out at the left";
    EXPECT_GT(seen[2], 200);
    EXPECT_GT(seen[3], 100);
}

}  // namespace
