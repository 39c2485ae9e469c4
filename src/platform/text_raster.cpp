#include "platform/text_raster.h"

#include <QFontMetrics>
#include <QPainter>
#include <array>
#include <map>
#include <utility>
#include <vector>

namespace dl {

namespace {

struct Glyph {
    std::vector<std::pair<int16_t, int16_t>> pixels;  // ink relative to the cell's top-left
};

struct FontGlyphs {
    int advance = 0;
    bool usable = false;
    std::array<Glyph, 128> glyphs;
};

FontGlyphs build(const QFont& font) {
    FontGlyphs g;
    QFontMetrics m(font);
    g.advance = m.horizontalAdvance(QLatin1Char('x'));
    if (font.styleStrategy() & QFont::PreferAntialias || !(font.styleStrategy() & QFont::NoAntialias)) return g;
    const int pad = 2 * g.advance + 4;
    const int w = g.advance + 2 * pad, h = m.height() + 2 * pad;
    QImage img(w, h, QImage::Format_RGB32);
    for (int c = 0x20; c < 0x7F; ++c) {
        img.fill(Qt::black);
        {
            QPainter p(&img);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QPoint(pad, pad + m.ascent()), QString(QLatin1Char(char(c))));
        }
        if (m.horizontalAdvance(QLatin1Char(char(c))) != g.advance) return g;  // not a grid font
        for (int yy = 0; yy < h; ++yy) {
            const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(yy));
            for (int xx = 0; xx < w; ++xx) {
                const QRgb v = row[xx] & 0xFFFFFF;
                if (v == 0) continue;
                if (v != 0xFFFFFF) return g;  // antialiased after all: leave it to the painter
                g.glyphs[c].pixels.emplace_back(int16_t(xx - pad), int16_t(yy - pad));
            }
        }
    }
    g.usable = true;
    return g;
}

const FontGlyphs& glyphs_for(const QFont& font) {
    static std::map<QString, FontGlyphs> cache;
    // Text calls come with the same few font objects again and again (a picture's labels and its
    // tuner take turns): a copy check is cheap where the key is a string built each time. Kept for
    // the life of the process, never destroyed late.
    struct Recent {
        QFont* font = new QFont;
        const FontGlyphs* glyphs = nullptr;
    };
    static std::array<Recent, 4>* recent = new std::array<Recent, 4>;
    static size_t next = 0;
    for (const Recent& r : *recent)
        if (r.glyphs && font.isCopyOf(*r.font)) return *r.glyphs;
    const QString key = font.key();
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, build(font)).first;
    Recent& r = (*recent)[next];
    next = (next + 1) % recent->size();
    *r.font = font;
    r.glyphs = &it->second;
    return it->second;
}

}  // namespace

bool ascii_grid_text(const QFont& font, const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c >= 0x7F) return false;
    return glyphs_for(font).usable;
}

namespace {

void draw_glyph(QImage& image, const Glyph& glyph, int x, int y, QRgb colour) {
    const int w = image.width(), h = image.height();
    const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* bits = reinterpret_cast<QRgb*>(image.bits());
    for (auto [dx, dy] : glyph.pixels) {
        const int px = x + dx, py = y + dy;
        if (px >= 0 && py >= 0 && px < w && py < h) bits[py * stride + px] = colour;
    }
}

}  // namespace

bool raster_ascii_text(QImage& image, const QFont& font, int x, int y, const std::string& text, QRgb colour) {
    if (image.devicePixelRatio() != 1.0 || !ascii_grid_text(font, text)) return false;
    const FontGlyphs& g = glyphs_for(font);
    for (size_t i = 0; i < text.size(); ++i)
        draw_glyph(image, g.glyphs[static_cast<unsigned char>(text[i])], x + int(i) * g.advance, y, colour);
    return true;
}

bool raster_ascii_cells(QImage& image, const QFont& font, const int* cell_x, int y, const std::string& text,
                        QRgb colour) {
    if (!ascii_grid_text(font, text)) return false;
    const FontGlyphs& g = glyphs_for(font);
    for (size_t i = 0; i < text.size(); ++i)
        draw_glyph(image, g.glyphs[static_cast<unsigned char>(text[i])], cell_x[i], y, colour);
    return true;
}

}  // namespace dl
