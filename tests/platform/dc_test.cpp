#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/dc.h"
#include "platform/font.h"

namespace {

using dl::Dc;
using dl::Rgb;
using dl::Surface;

TEST(DcTest, FillsAreExclusiveOfRightAndBottomAndClipped) {
    Surface s(20, 10);
    Dc dc(s);
    dc.fill_rect(2, 3, 5, 6, dl::rgb(0x123456));
    EXPECT_EQ(s.pixel(2, 3), dl::rgb(0x123456));
    EXPECT_EQ(s.pixel(4, 5), dl::rgb(0x123456));
    EXPECT_EQ(s.pixel(5, 5), dl::kBlack);
    EXPECT_EQ(s.pixel(4, 6), dl::kBlack);
    dc.fill_rect(-5, -5, 100, 1, dl::kWhite);  // clipped, no crash
    EXPECT_EQ(s.pixel(19, 0), dl::kWhite);
}

TEST(DcTest, PatBltUsesTheRopOrTheSelectedBrush) {
    Surface s(10, 10);
    Dc dc(s);
    dc.pat_blt(0, 0, 10, 10, dl::Rop::Whiteness);
    EXPECT_EQ(s.pixel(9, 9), dl::kWhite);
    dc.pat_blt(1, 1, 2, 2, dl::Rop::Blackness);
    EXPECT_EQ(s.pixel(2, 2), dl::kBlack);
    EXPECT_EQ(s.pixel(3, 3), dl::kWhite);
    Rgb previous = dc.select_brush(dl::rgb(0xFF00FF));
    EXPECT_EQ(previous, dl::kWhite);
    dc.pat_blt(5, 5, 1, 3, dl::Rop::PatCopy);
    EXPECT_EQ(s.pixel(5, 7), dl::rgb(0xFF00FF));
    EXPECT_EQ(s.pixel(5, 8), dl::kWhite);
}

TEST(DcTest, LinesLeaveOutTheirEndPoint) {
    Surface s(20, 20);
    Dc dc(s);
    dc.select_pen(dl::kWhite);
    dc.move_to(2, 10);
    dc.line_to(8, 10);
    EXPECT_EQ(s.pixel(2, 10), dl::kWhite);
    EXPECT_EQ(s.pixel(7, 10), dl::kWhite);
    EXPECT_EQ(s.pixel(8, 10), dl::kBlack);
    // A vertical line from the bottom row up, as the graphs draw their grid.
    dc.move_to(15, 19);
    dc.line_to(15, 5);
    EXPECT_EQ(s.pixel(15, 19), dl::kWhite);
    EXPECT_EQ(s.pixel(15, 6), dl::kWhite);
    EXPECT_EQ(s.pixel(15, 5), dl::kBlack);
    // The current position moves to the end point.
    dc.line_to(15, 2);
    EXPECT_EQ(s.pixel(15, 5), dl::kWhite);
}

TEST(DcTest, BlockCopyIsRightWhenAreasOverlap) {
    for (int shift : {-3, 3}) {
        Surface s(4, 20);
        Dc dc(s);
        for (int y = 0; y < 20; ++y) dc.fill_rect(0, y, 4, y + 1, Rgb{uint8_t(y * 10), 0, 0});
        // Move rows 5..14 by `shift` rows on the same surface.
        dc.bit_blt(0, 5 + shift, 4, 10, dc, 0, 5);
        for (int y = 0; y < 10; ++y) EXPECT_EQ(s.pixel(1, 5 + shift + y).r, (5 + y) * 10) << "shift " << shift;
    }
    Surface a(8, 8), b(8, 8);
    Dc da(a), db(b);
    da.fill_rect(0, 0, 2, 2, dl::kWhite);
    db.bit_blt(6, 6, 4, 4, da, 0, 0);  // clipped at the destination's edge
    EXPECT_EQ(b.pixel(7, 7), dl::kWhite);
}

TEST(DcTest, FixedFontAdvancesWholePixelsAndOpaqueModeFillsTheCell) {
    const dl::TextMetrics m = dl::Font::stock_fixed().metrics();
    EXPECT_EQ(m.ave_char_width, 8);
    EXPECT_GE(m.height, 14);
    Surface tiny(1, 1);
    EXPECT_EQ(Dc(tiny).text_width("1234567890"), 80);

    Surface s(200, 30);
    Dc dc(s);
    dc.set_bk_color(dl::rgb(0x0000FF));
    dc.set_text_color(dl::kWhite);
    dc.text_out(10, 5, "Peak");
    EXPECT_EQ(s.pixel(10, 5), dl::rgb(0x0000FF));               // background of the cell
    EXPECT_EQ(s.pixel(10 + 4 * 8 - 1, 5), dl::rgb(0x0000FF));
    EXPECT_EQ(s.pixel(10 + 4 * 8, 5), dl::kBlack);             // right of the cell
    bool ink = false;
    for (int x = 10; x < 42; ++x)
        for (int y = 5; y < 5 + m.height; ++y) ink = ink || s.pixel(x, y) == dl::kWhite;
    EXPECT_TRUE(ink);
    dc.set_bk_mode(dl::BkMode::Transparent);
    dc.text_out(100, 5, "x");
    EXPECT_EQ(s.pixel(100, 5), dl::kBlack);
}

TEST(DcTest, SurfaceResizeKeepsWhatFitsAndComparesExactly) {
    Surface s(10, 10), t(10, 10);
    Dc(s).fill_rect(0, 0, 3, 3, dl::kWhite);
    EXPECT_FALSE(s.same_pixels(t));
    Dc(t).fill_rect(0, 0, 3, 3, dl::kWhite);
    EXPECT_TRUE(s.same_pixels(t));
    s.resize(20, 5);
    EXPECT_EQ(s.width(), 20);
    EXPECT_EQ(s.pixel(2, 2), dl::kWhite);
    EXPECT_EQ(s.pixel(15, 2), dl::kBlack);
}

TEST(DcTest, ScaledSurfacesDrawInLogicalPixels) {
    Surface s(10, 10, 2);
    Dc dc(s);
    dc.fill_rect(1, 1, 2, 2, dl::kWhite);
    EXPECT_EQ(s.pixel(1, 1), dl::kWhite);
    EXPECT_EQ(s.pixel(2, 2), dl::kBlack);
    dc.bit_blt(5, 5, 1, 1, dc, 1, 1);
    EXPECT_EQ(s.pixel(5, 5), dl::kWhite);
}

}  // namespace

namespace {

TEST(DcTest, ColumnRunsPaintTheSamePixelsAsOnePixelFills) {
    dl::Surface a(12, 20), b(12, 20);
    dl::Dc da(a), db(b);
    const int16_t top[] = {0, 5, 19, 7, -3, 10};
    const int16_t bottom[] = {3, 5, 25, 2, 4, 20};  // empty, clipped and reversed runs included
    da.fill_column_runs(-1, top, bottom, 6, dl::kWhite);
    for (int c = 0; c < 6; ++c) db.fill_rect(-1 + c, top[c], c, bottom[c], dl::kWhite);
    EXPECT_TRUE(a.same_pixels(b));
    EXPECT_EQ(a.pixel(0, 5), dl::kBlack);
    EXPECT_EQ(a.pixel(1, 19), dl::kWhite);
}

}  // namespace

namespace {

// Index blocks against one fill per cell, at whole and fractional scales, partly off the surface.
TEST(DcTest, IndexColumnsMatchAFillPerCellAndAreClipped) {
    std::vector<dl::Rgb> palette(256);
    for (int k = 0; k < 256; ++k) palette[size_t(k)] = dl::Rgb{uint8_t(k), uint8_t(255 - k), uint8_t(k * 7)};
    const int columns = 9, rows = 6, stride = 8;
    std::vector<uint8_t> cells(size_t(columns) * stride);
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = uint8_t(i * 37 + 11);
    for (double scale : {1.0, 2.0, 3.0, 1.5}) {
        for (auto [x0, y0] : {std::pair{3, 2}, std::pair{-2, -3}, std::pair{16, 7}}) {
            Surface drawn(20, 10, scale), reference(20, 10, scale);
            Dc a(drawn), b(reference);
            a.draw_index_columns(x0, y0, columns, rows, cells.data(), stride, palette.data());
            for (int c = 0; c < columns; ++c)
                for (int r = 0; r < rows; ++r)
                    b.fill_rect(x0 + c, y0 + r, x0 + c + 1, y0 + r + 1, palette[cells[size_t(c) * stride + size_t(r)]]);
            EXPECT_TRUE(drawn.same_pixels(reference)) << "scale " << scale << " at " << x0 << "," << y0;
        }
    }
}

}  // namespace
