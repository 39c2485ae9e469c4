#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/colour.h"
#include "platform/font.h"
#include "platform/surface.h"

namespace dl {

enum class Rop { Whiteness, Blackness, PatCopy };
enum class BkMode { Transparent, Opaque };

// A block of pixel columns for graphs, described column by column and composed row by row so that
// every pixel is written once: a background (a plain colour with lines in a second colour, or the
// pixels already there) under runs of colour that begin where a column changes colour.
struct ColumnPicture {
    static constexpr uint8_t kBackground = 255;
    // Rows [row, rows) of `column` show palette[colour], or the background for kBackground (or a
    // colour past the palette), until the column's next change. Of several changes of one column
    // at one row the last one counts; rows above the picture count as its first row.
    struct Change {
        int16_t column, row;
        uint8_t colour;
    };
    // A line down one column, rows [top, bottom).
    struct ColumnLine {
        int16_t column, top, bottom;
    };

    int columns = 0, rows = 0;
    bool keep_background = false;  // leave the pixels already there where no colour run is
    Rgb background = kBlack, line = kBlack;
    std::vector<int16_t> line_rows;  // full-width lines
    std::vector<ColumnLine> line_columns;
    std::vector<Rgb> palette;
    std::vector<Change> changes;
};

// A device context over a surface: the four drawing operations (fill, text, line, block copy)
// with the selected font, pen, brush and text colours. Pens are one logical pixel wide.
class Dc {
public:
    explicit Dc(Surface& target);

    Surface& surface() const { return *surface_; }

    void set_text_color(Rgb c) { text_ = c; }
    Rgb text_color() const { return text_; }
    void set_bk_color(Rgb c) { bk_ = c; }
    Rgb bk_color() const { return bk_; }
    void set_bk_mode(BkMode m) { bk_mode_ = m; }
    BkMode bk_mode() const { return bk_mode_; }

    // Returns the previously selected font; nullptr selects the stock fixed font.
    const Font* select_font(const Font* font);
    const Font& font() const;
    Rgb select_pen(Rgb colour);  // returns the previous pen colour
    Rgb pen() const { return pen_; }
    Rgb select_brush(Rgb colour);  // returns the previous brush colour
    Rgb brush() const { return brush_; }

    // Rectangles are (left, top, right, bottom) with right and bottom exclusive.
    void fill_rect(int left, int top, int right, int bottom, Rgb colour);
    void pat_blt(int x, int y, int width, int height, Rop rop);
    // One vertical run per column, for graphs: column x0 + c gets rows [top[c], bottom[c]) (none
    // when bottom[c] <= top[c]). The same pixels as a one-pixel-wide fill_rect per column, at
    // memory speed.
    void fill_column_runs(int x0, const int16_t* top, const int16_t* bottom, int n, Rgb colour);
    // The picture with its top-left corner at (x0, y0), clipped to the surface.
    void compose_columns(int x0, int y0, const ColumnPicture& picture);
    // A block kept as colour indices, column by column: pixel (x0 + c, y0 + r) takes
    // palette[cells[c * stride + r]] for c < columns, r < rows; the palette has 256 entries.
    void draw_index_columns(int x0, int y0, int columns, int rows, const uint8_t* cells, int stride,
                            const Rgb* palette);
    // Text with its cell's top-left at (x, y); opaque mode fills the cell with the background colour.
    void text_out(int x, int y, const std::string& utf8);
    int text_width(const std::string& utf8) const;
    void move_to(int x, int y);
    // Draws from the current position up to, not including, (x, y).
    void line_to(int x, int y);
    // Copies a block; correct when source and destination overlap on the same surface.
    void bit_blt(int dx, int dy, int width, int height, const Dc& src, int sx, int sy);

private:
    Surface* surface_;
    const Font* font_ = nullptr;
    Rgb text_ = kBlack, bk_ = kWhite, pen_ = kBlack, brush_ = kWhite;
    BkMode bk_mode_ = BkMode::Opaque;
    int cur_x_ = 0, cur_y_ = 0;
};

}  // namespace dl
