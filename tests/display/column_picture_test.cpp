// The graphs' building blocks: column pictures composed in one pass and line pixels gathered by
// column must leave the pixels of the plain fills and line walks they stand for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "display/graph_fill.h"
#include "platform/dc.h"
#include "platform/surface.h"

namespace {

using dl::ColumnPicture;
using dl::Dc;
using dl::Rgb;
using dl::rgb;
using dl::Surface;

// The picture painted the slow way: background, column lines, full-width lines, then each
// column's runs from its changes taken in row order (the later of equal rows last).
void PaintSlowly(Dc& dc, int x0, int y0, const ColumnPicture& p) {
    const int n = p.columns, h = p.rows;
    if (!p.keep_background) {
        dc.fill_rect(x0, y0, x0 + n, y0 + h, p.background);
        for (const ColumnPicture::ColumnLine& l : p.line_columns)
            if (l.column >= 0 && l.column < n)
                dc.fill_rect(x0 + l.column, y0 + std::max<int>(l.top, 0), x0 + l.column + 1,
                             y0 + std::min<int>(l.bottom, h), p.line);
        for (int16_t r : p.line_rows)
            if (r >= 0 && r < h) dc.fill_rect(x0, y0 + r, x0 + n, y0 + r + 1, p.line);
    }
    for (int c = 0; c < n; ++c) {
        std::vector<ColumnPicture::Change> mine;
        for (const ColumnPicture::Change& ch : p.changes)
            if (ch.column == c && ch.row < h) mine.push_back({ch.column, int16_t(std::max<int>(ch.row, 0)), ch.colour});
        std::stable_sort(mine.begin(), mine.end(), [](auto& a, auto& b) { return a.row < b.row; });
        for (size_t k = 0; k < mine.size(); ++k) {
            const int end = k + 1 < mine.size() ? mine[k + 1].row : h;
            if (mine[k].colour != ColumnPicture::kBackground && mine[k].row < end)
                dc.fill_rect(x0 + c, y0 + mine[k].row, x0 + c + 1, y0 + end, p.palette[mine[k].colour]);
        }
    }
}

ColumnPicture RandomPicture(std::mt19937& gen, int n, int h) {
    ColumnPicture p;
    p.columns = n;
    p.rows = h;
    p.background = rgb(0x102030);
    p.line = rgb(0x808080);
    p.palette = {rgb(0xFF0000), rgb(0x00FF00), rgb(0x0000FF), dl::kWhite};
    for (int k = 0; k < 4; ++k) p.line_rows.push_back(int16_t(int(gen() % unsigned(h + 4)) - 2));
    for (int k = 0; k < 5; ++k)
        p.line_columns.push_back({int16_t(int(gen() % unsigned(n + 4)) - 2), int16_t(int(gen() % unsigned(h)) - 2),
                                  int16_t(gen() % unsigned(h + 3))});
    const int changes = int(gen() % unsigned(4 * n));
    for (int k = 0; k < changes; ++k) {
        const uint8_t colour = gen() % 3 == 0 ? ColumnPicture::kBackground : uint8_t(gen() % 4);
        p.changes.push_back(
            {int16_t(int(gen() % unsigned(n + 2)) - 1), int16_t(int(gen() % unsigned(h + 6)) - 3), colour});
    }
    return p;
}

// Fills the surface with a pattern so that kept and overwritten pixels can be told apart.
void Pattern(Surface& s) {
    Dc dc(s);
    for (int y = 0; y < s.height(); y += 3)
        for (int x = 0; x < s.width(); x += 5) dc.fill_rect(x, y, x + 5, y + 3, rgb(uint32_t(x * 7 + y * 131) & 0xFFFFFF));
}

TEST(ColumnPicture, ComposesLikeFillsInOrder) {
    std::mt19937 gen(11);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 1 + int(gen() % 40), h = 1 + int(gen() % 50);
        ColumnPicture p = RandomPicture(gen, n, h);
        p.keep_background = trial % 3 == 2;
        // Inside, then hanging over every edge of the surface.
        const int x0 = trial % 4 == 1 ? -5 : trial % 4 == 3 ? 30 : 2;
        const int y0 = trial % 4 == 1 ? -4 : trial % 4 == 3 ? 35 : 3;
        // Whole device-pixel ratios scale every pixel into a block, so the fills still say what to expect.
        const int scale = 1 + trial % 3;
        Surface fast(50, 60, scale), slow(50, 60, scale);
        Pattern(fast);
        Pattern(slow);
        Dc a(fast), b(slow);
        a.compose_columns(x0, y0, p);
        PaintSlowly(b, x0, y0, p);
        ASSERT_TRUE(fast.same_pixels(slow)) << "trial " << trial << " n=" << n << " h=" << h << " scale " << scale;
    }
}

TEST(ColumnPicture, ScaledSurfacesAndLastChangeOfARow) {
    ColumnPicture p;
    p.columns = 6;
    p.rows = 8;
    p.background = dl::kBlack;
    p.line = rgb(0x808080);
    p.line_rows = {2};
    p.line_columns = {{4, 1, 8}};
    p.palette = {dl::kWhite, rgb(0xFF0000)};
    // Column 1: white from row 3, then red at the same row wins; column 3 white from above the
    // top for two rows; column 5 starts below the picture and shows nothing.
    p.changes = {{1, 3, 0}, {1, 3, 1}, {3, -2, 0}, {3, 2, ColumnPicture::kBackground}, {5, 8, 0}};
    Surface fast(10, 12, 2), slow(10, 12, 2);
    Dc a(fast), b(slow);
    a.compose_columns(1, 1, p);
    PaintSlowly(b, 1, 1, p);
    EXPECT_TRUE(fast.same_pixels(slow));
    EXPECT_EQ(fast.pixel(2, 4), rgb(0xFF0000));
    EXPECT_EQ(fast.pixel(4, 1), dl::kWhite);
    EXPECT_EQ(fast.pixel(4, 3), rgb(0x808080));  // the full-width line shows where no run is
    EXPECT_EQ(fast.pixel(5, 1), dl::kBlack);     // the column line starts a row lower
    EXPECT_EQ(fast.pixel(5, 2), rgb(0x808080));
    EXPECT_EQ(fast.pixel(6, 8), dl::kBlack);

    // Kept background on the scaled surface: only the runs change.
    p.keep_background = true;
    p.changes = {{0, 5, 1}, {2, 0, 0}, {2, 4, ColumnPicture::kBackground}};
    a.compose_columns(1, 1, p);
    PaintSlowly(b, 1, 1, p);
    EXPECT_TRUE(fast.same_pixels(slow));
    EXPECT_EQ(fast.pixel(2, 4), rgb(0xFF0000));
    EXPECT_EQ(fast.pixel(3, 1), dl::kWhite);
}

// At 1.5 device pixels per logical pixel, grid lines stay a stroke (2 device pixels) wide wherever they
// fall, a lone column of the graph too, while neighbouring columns tile without gaps.
TEST(ColumnPicture, LinesAndLoneColumnsAreEvenAtFractionalRatios) {
    const double scale = 1.5;
    auto device = [scale](int v) { return int(std::floor(v * scale + 0.5)); };
    ColumnPicture p;
    p.columns = 30;
    p.rows = 20;
    p.background = dl::kBlack;
    p.line = rgb(0x808080);
    p.palette = {dl::kWhite};
    for (int16_t r = 1; r < 8; ++r) p.line_rows.push_back(int16_t(2 * r));
    for (int16_t c = 1; c < 8; ++c) p.line_columns.push_back({int16_t(2 * c), 0, 20});
    // Lone white columns at 17, 19, 21, 23 down from row 10, and a solid block over columns 25 to 29.
    for (int16_t c = 17; c < 24; c += 2) p.changes.push_back({c, 10, 0});
    for (int16_t c = 25; c < 30; ++c) p.changes.push_back({c, 10, 0});
    Surface s(40, 30, scale);
    Dc(s).compose_columns(1, 1, p);
    auto run_of = [&](bool across, int at, int from, int to, Rgb c) {  // device pixels of colour c
        int n = 0;
        for (int d = from; d < to; ++d) n += (across ? s.device_pixel(d, at) : s.device_pixel(at, d)) == c;
        return n;
    };
    const int below_lines = device(1 + 15) + 2;  // a device row under the full-width lines
    // Lines two logical pixels apart are three device pixels apart: each is 2 wide with a 1 pixel gap.
    auto around = [&](int at) { return std::pair<int, int>{device(at) - 1, device(at) + 3}; };
    for (int k = 1; k < 8; ++k) {
        const auto [c0, c1] = around(1 + 2 * k);
        EXPECT_EQ(run_of(true, below_lines, c0, c1, rgb(0x808080)), 2) << "column line " << k;
        const auto [r0, r1] = around(1 + 2 * k);
        EXPECT_EQ(run_of(false, device(1), r0, r1, rgb(0x808080)), 2) << "row line " << k;
    }
    const int low = device(1 + 18);
    for (int c = 17; c < 24; c += 2) {
        const auto [c0, c1] = around(1 + c);
        EXPECT_EQ(run_of(true, low, c0, c1, dl::kWhite), 2) << "column " << c;
    }
    EXPECT_EQ(run_of(true, low, device(1 + 25), device(1 + 30), dl::kWhite), device(1 + 30) - device(1 + 25));
}

// The pixels of line_to from (x0, y0) to (x1, y1) on a white surface against the band's runs.
void ExpectSameLine(int x0, int y0, int x1, int y1) {
    const int w = 60, h = 300, ox = 2, oy = 20;
    Surface walked(w, h), gathered(w, h);
    walked.fill(dl::kWhite);
    gathered.fill(dl::kWhite);
    Dc a(walked), b(gathered);
    a.select_pen(dl::kBlack);
    a.move_to(ox + x0, oy + y0);
    a.line_to(ox + x1, oy + y1);
    dl::graph::Band band;
    band.reset(w - ox - 2);
    dl::graph::AddLinePixels(band, x0, y0, x1, y1);
    for (int c = 0; c < band.columns(); ++c)
        if (band.lo[c] <= band.hi[c]) b.fill_rect(ox + c, oy + band.lo[c], ox + c + 1, oy + band.hi[c] + 1, dl::kBlack);
    // Columns outside the band are dropped.
    if (x0 < 0 || x1 < 0 || x0 >= band.columns() || x1 >= band.columns()) {
        b.fill_rect(0, 0, ox, h, dl::kWhite);
        a.fill_rect(0, 0, ox, h, dl::kWhite);
        a.fill_rect(ox + band.columns(), 0, w, h, dl::kWhite);
    }
    ASSERT_TRUE(walked.same_pixels(gathered)) << "(" << x0 << "," << y0 << ") to (" << x1 << "," << y1 << ")";
}

TEST(LinePixels, MatchTheContextsLineWalk) {
    for (int dx : {0, 1, 2, 3, 4, 7, 16, 33, 55})
        for (int dy : {0, 1, 2, 3, 5, 8, 31, 32, 33, 64, 100, 127, 128, 200, 254, 255}) {
            ExpectSameLine(0, 0, dx, dy);
            ExpectSameLine(dx, 0, 0, dy);
            ExpectSameLine(0, dy, dx, 0);
            ExpectSameLine(dx, dy, 0, 0);
        }
    // Partly outside the band on either side.
    ExpectSameLine(-3, 10, 5, 200);
    ExpectSameLine(50, 100, 60, 4);
}

}  // namespace
