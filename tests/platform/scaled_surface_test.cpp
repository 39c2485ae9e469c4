// Back buffers at a screen's device-pixel ratio: the picture of scale 1 in finer pixels, with lines
// the same width everywhere and text drawn at the real pixel size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/dc.h"
#include "platform/font.h"

namespace {

using dl::Dc;
using dl::Rgb;
using dl::Surface;

const Rgb kRed = dl::rgb(0xFF0000);

// Device columns of row `y` in colour `c`.
int CountInRow(const Surface& s, int y, Rgb c) {
    int n = 0;
    for (int x = 0; x < s.device_width(); ++x) n += s.device_pixel(x, y) == c;
    return n;
}

int CountInColumn(const Surface& s, int x, Rgb c) {
    int n = 0;
    for (int y = 0; y < s.device_height(); ++y) n += s.device_pixel(x, y) == c;
    return n;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
    bool empty() const { return right < 0; }
};

Box InkBox(const Surface& s, Rgb ink) {
    Box b;
    for (int y = 0; y < s.device_height(); ++y)
        for (int x = 0; x < s.device_width(); ++x)
            if (s.device_pixel(x, y) == ink) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

TEST(ScaledSurface, SizesInDevicePixelsAndOddRatiosMadeUsable) {
    Surface s(100, 40, 2);
    EXPECT_EQ(s.width(), 100);
    EXPECT_EQ(s.device_width(), 200);
    EXPECT_EQ(s.device_height(), 80);
    Surface f(101, 41, 1.5);
    EXPECT_EQ(f.width(), 101);
    EXPECT_EQ(f.device_width(), 152);  // 151.5 rounded: the last logical pixel keeps a device pixel
    EXPECT_EQ(f.device_height(), 62);
    for (double nonsense : {0.0, -2.0, 0.5, std::nan("")}) EXPECT_EQ(Surface(4, 4, nonsense).scale(), 1.0);
    EXPECT_EQ(Surface(4, 4, 40).scale(), 8.0);

    // Resizing keeps the ratio and what fits; a new ratio starts black.
    Dc(s).fill_rect(0, 0, 10, 10, kRed);
    s.resize(50, 20);
    EXPECT_EQ(s.device_width(), 100);
    EXPECT_EQ(s.pixel(9, 9), kRed);
    s.set_scale(3);
    EXPECT_EQ(s.device_width(), 150);
    EXPECT_EQ(s.pixel(9, 9), dl::kBlack);
}

// A one-pixel line is one logical pixel wide: 2 device pixels at scale 2, and at 1.5 the same 2 at
// every position rather than 1 or 2 by where it falls.
TEST(ScaledSurface, OnePixelLinesAreEvenAtEveryPosition) {
    for (double scale : {2.0, 1.5, 3.0}) {
        const int stroke = int(std::ceil(scale));
        for (int at = 0; at < 7; ++at) {
            Surface s(20, 20, scale);
            Dc dc(s);
            dc.select_pen(dl::kWhite);
            dc.move_to(1, 3 + at);
            dc.line_to(15, 3 + at);  // horizontal
            dc.move_to(2 + at, 12);
            dc.line_to(2 + at, 19);  // vertical
            dc.fill_rect(0, 11, 20, 12, kRed);  // a one-pixel fill is a line too
            const int column = int(std::floor(12 * scale + 0.5)) + 1, row = int(std::floor(16 * scale + 0.5)) + 1;
            EXPECT_EQ(CountInColumn(s, column, dl::kWhite), stroke) << "scale " << scale << " at " << at;
            EXPECT_EQ(CountInRow(s, row, dl::kWhite), stroke) << "scale " << scale << " at " << at;
            EXPECT_EQ(CountInColumn(s, 0, kRed), stroke) << "scale " << scale;
        }
    }
}

TEST(ScaledSurface, WiderFillsTileWithoutGapsOrOverlaps) {
    Surface s(30, 4, 1.5);
    Dc dc(s);
    const Rgb colours[] = {kRed, dl::kWhite, dl::rgb(0x0000FF)};
    int x = 0;
    for (int k = 0; x < 27; ++k) {
        const int w = 2 + k % 3;
        dc.fill_rect(x, 0, x + w, 4, colours[k % 3]);
        x += w;
    }
    // Every device column up to where the fills end is coloured; none past it.
    for (int d = 0; d < s.device_width(); ++d) {
        const bool filled = s.device_pixel(d, 2) != dl::kBlack;
        EXPECT_EQ(filled, d < int(std::floor(x * 1.5 + 0.5))) << "device column " << d;
    }
}

TEST(ScaledSurface, BlockCopiesMoveTheDevicePixels) {
    for (double scale : {2.0, 1.5}) {
        auto device = [scale](int v) { return int(std::floor(v * scale + 0.5)); };
        Surface s(40, 40, scale);
        Dc dc(s);
        dc.set_text_color(dl::kWhite);
        dc.set_bk_mode(dl::BkMode::Transparent);
        dc.text_out(0, 0, "Ag");
        const Box before = InkBox(s, dl::kWhite);
        dc.bit_blt(10, 20, 16, 16, dc, 0, 0);
        dc.fill_rect(0, 0, 40, 20, dl::kBlack);
        const Box after = InkBox(s, dl::kWhite);
        ASSERT_FALSE(after.empty());
        EXPECT_EQ(after.left - before.left, device(10)) << "scale " << scale;
        EXPECT_EQ(after.top - before.top, device(20)) << "scale " << scale;
        EXPECT_EQ(after.right - after.left, before.right - before.left);
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
        // Different ratios never mix.
        Surface one(40, 40);
        Dc(one).bit_blt(0, 0, 40, 40, dc, 0, 0);
        EXPECT_TRUE(InkBox(one, dl::kWhite).empty());
    }
}

// Text at scale 2 is drawn at 26 px, not the 13 px glyphs doubled, and stays in its logical cells.
TEST(ScaledSurface, TextIsDrawnAtTheDevicePixelSize) {
    const std::string text = "Peak 441.4Hz";
    const int n = int(text.size());
    Surface one(120, 20), two(120, 20, 2);
    for (Surface* s : {&one, &two}) {
        Dc dc(*s);
        dc.set_text_color(dl::kWhite);
        dc.set_bk_color(dl::rgb(0x000080));
        dc.text_out(4, 2, text);
        EXPECT_EQ(dc.text_width(text), 8 * n);
    }
    // The opaque cell is the same logical rectangle.
    EXPECT_EQ(two.pixel(4, 2), dl::rgb(0x000080));
    EXPECT_EQ(two.pixel(4 + 8 * n - 1, 2), dl::rgb(0x000080));
    EXPECT_EQ(two.pixel(4 + 8 * n, 2), dl::kBlack);

    // Not pixel-doubled: some aligned 2x2 block of device pixels is not one colour.
    bool finer = false;
    for (int y = 0; y + 1 < two.device_height() && !finer; y += 2)
        for (int x = 0; x + 1 < two.device_width() && !finer; x += 2) {
            const Rgb c = two.device_pixel(x, y);
            finer = two.device_pixel(x + 1, y) != c || two.device_pixel(x, y + 1) != c ||
                    two.device_pixel(x + 1, y + 1) != c;
        }
    EXPECT_TRUE(finer);

    // Nothing shifted: the ink lies where the 1x ink lies, doubled, within a device pixel or two.
    const Box a = InkBox(one, dl::kWhite), b = InkBox(two, dl::kWhite);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NEAR(b.left, 2 * a.left, 2);
    EXPECT_NEAR(b.right, 2 * a.right + 1, 2);
    EXPECT_NEAR(b.top, 2 * a.top, 2);
    EXPECT_NEAR(b.bottom, 2 * a.bottom + 1, 2);
}

TEST(ScaledSurface, TextKeepsItsCellsAtFractionalRatios) {
    // Each character starts in its own logical cell at 1.5, so columns of figures line up as at 1x.
    Surface s(100, 20, 1.5);
    Dc dc(s);
    dc.set_text_color(dl::kWhite);
    dc.set_bk_mode(dl::BkMode::Transparent);
    dc.text_out(0, 0, "||||||||");
    for (int i = 0; i < 8; ++i) {
        const int from = int(std::floor(8 * i * 1.5 + 0.5)), to = int(std::floor(8 * (i + 1) * 1.5 + 0.5));
        int ink = 0;
        for (int x = from; x < to; ++x) ink += CountInColumn(s, x, dl::kWhite) > 0;
        EXPECT_GT(ink, 0) << "cell " << i;
    }
    // Characters outside ASCII go through the painter at the same ratio.
    Surface j(100, 30, 2);
    Dc jd(j);
    jd.set_text_color(dl::kWhite);
    jd.set_bk_color(dl::rgb(0x000080));
    jd.text_out(2, 2, "ÄÖ");
    EXPECT_EQ(j.pixel(2, 2), dl::rgb(0x000080));
    EXPECT_FALSE(InkBox(j, dl::kWhite).empty());
}

}  // namespace
