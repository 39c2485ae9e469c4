#pragma once
#include <QFont>
#include <QImage>
#include <string>

namespace dl {

// Draws printable ASCII in a fixed, unantialiased font from cached glyph masks, pixel for pixel as
// the painter would, without setting up a painter per text. False when the text needs the painter
// (other characters, a scaled image).
// True when raster_ascii_text can draw this text in this font.
bool ascii_grid_text(const QFont& font, const std::string& text);
bool raster_ascii_text(QImage& image, const QFont& font, int x, int y, const std::string& text, QRgb colour);
// The same in device pixels of any image, character i with its cell's left edge at cell_x[i].
bool raster_ascii_cells(QImage& image, const QFont& font, const int* cell_x, int y, const std::string& text,
                        QRgb colour);

}  // namespace dl
