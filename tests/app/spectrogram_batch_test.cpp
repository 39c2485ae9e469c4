// --png of the spectrogram view: the whole file analysed, the picture showing the last blocks the
// graph has room for, as the window would.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <sstream>
#include <string>

#include "audio/playback_fixture.h"
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

TEST(SpectrogramBatch, LongFileShowsItsLastGraphWidthBlocks) {
    // Four tones of one second each; at 256 samples a block that is 689 blocks, more than the graph's 512.
    const std::vector<double> hz = {1000, 2000, 4000, 8000};
    const std::string wav = dl_test::write_file(
        "steps.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, hz, 1.0)));
    const std::string png = dl_test::temp_dir() + "/spectrogram.png";
    const dl_test::ProgramRun run =
        dl_test::run_program("--analyse " + wav + " --set display=112 --set deltatime=64 --png " + png);
    ASSERT_EQ(run.status, 0) << run.err;
    std::stringstream lines(run.out);
    std::string line;
    int blocks = -1;  // the header
    while (std::getline(lines, line)) ++blocks;
    ASSERT_GT(blocks, 600);

    QImage picture(QString::fromStdString(png));
    ASSERT_FALSE(picture.isNull());
    dl::measure_layout_units();  // the batch run's layout, from the same font
    const int left = dl::CellWidth, top = 13 * dl::CellHeight, W = 512;
    auto loudest_row = [&](int column) {
        int best = -1, row = -1;
        for (int r = 0; r < 256; ++r) {
            const int k = IndexOf(picture.pixel(left + column, top + r));
            if (k > best) best = k, row = r;
        }
        return row;
    };
    const int first = blocks - W;  // the block in the leftmost column
    int seen[4] = {};
    // The newest columns carry the peak labels.
    for (int column = 0; column < W - 128; column += 3) {
        const double start = double(first + column) * 256 / 44100;  // seconds into the file
        const int segment = int(start);
        if (segment > 3 || std::abs(start - std::round(start)) < 0.02) continue;  // at a change of tone
        EXPECT_NEAR(loudest_row(column), LogScaleRow(hz[size_t(segment)]), 1) << "column " << column;
        ++seen[segment];
    }
    EXPECT_EQ(seen[0], 0) << "the first second has gone out at the left";
    EXPECT_GT(seen[1], 20);
    EXPECT_GT(seen[2], 20);
    EXPECT_GT(seen[3], 10);
}

}  // namespace
