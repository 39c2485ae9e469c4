#include "platform/dc.h"

#include <QPainter>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/font_impl.h"
#include "platform/surface_impl.h"

namespace dl {

namespace {

inline QRgb to_qrgb(Rgb c) { return qRgb(c.r, c.g, c.b); }

// Fills device pixels of a logical rectangle, clipped to the image.
void fill_logical(QImage& img, int scale, int left, int top, int right, int bottom, QRgb v) {
    int x0 = std::max(left, 0) * scale, y0 = std::max(top, 0) * scale;
    int x1 = std::min(right * scale, img.width()), y1 = std::min(bottom * scale, img.height());
    if (x0 >= x1 || y0 >= y1) return;
    const qsizetype stride = img.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* row = reinterpret_cast<QRgb*>(img.bits()) + y0 * stride;
    if (x1 - x0 == 1) {
        for (int y = y0; y < y1; ++y, row += stride) row[x0] = v;
        return;
    }
    for (int y = y0; y < y1; ++y, row += stride) std::fill(row + x0, row + x1, v);
}

}  // namespace

Dc::Dc(Surface& target) : surface_(&target) {}

const Font* Dc::select_font(const Font* font) {
    const Font* prev = font_;
    font_ = font;
    return prev;
}

const Font& Dc::font() const { return font_ ? *font_ : Font::stock_fixed(); }

Rgb Dc::select_pen(Rgb colour) {
    Rgb prev = pen_;
    pen_ = colour;
    return prev;
}

Rgb Dc::select_brush(Rgb colour) {
    Rgb prev = brush_;
    brush_ = colour;
    return prev;
}

void Dc::fill_rect(int left, int top, int right, int bottom, Rgb colour) {
    Surface::Impl& s = surface_->impl();
    fill_logical(s.image, s.scale, left, top, right, bottom, to_qrgb(colour));
    surface_->notify_changed();
}

void Dc::pat_blt(int x, int y, int width, int height, Rop rop) {
    if (width < 0) { x += width; width = -width; }
    if (height < 0) { y += height; height = -height; }
    Rgb c = rop == Rop::Whiteness ? kWhite : rop == Rop::Blackness ? kBlack : brush_;
    fill_rect(x, y, x + width, y + height, c);
}

void Dc::fill_column_runs(int x0, const int16_t* top, const int16_t* bottom, int n, Rgb colour) {
    Surface::Impl& s = surface_->impl();
    QImage& img = s.image;
    const QRgb v = to_qrgb(colour);
    const int sc = s.scale;
    if (sc != 1) {
        for (int c = 0; c < n; ++c) fill_logical(img, sc, x0 + c, top[c], x0 + c + 1, bottom[c], v);
        surface_->notify_changed();
        return;
    }
    const int w = img.width(), h = img.height();
    const qsizetype stride = img.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* bits = reinterpret_cast<QRgb*>(img.bits());
    for (int c = 0; c < n; ++c) {
        const int x = x0 + c;
        if (x < 0 || x >= w) continue;
        const int y0 = std::max(int(top[c]), 0), y1 = std::min(int(bottom[c]), h);
        QRgb* p = bits + y0 * stride + x;
        for (int y = y0; y < y1; ++y, p += stride) *p = v;
    }
    surface_->notify_changed();
}

int Dc::text_width(const std::string& utf8) const { return font().text_width(utf8); }

void Dc::text_out(int x, int y, const std::string& utf8) {
    if (utf8.empty()) return;
    Surface::Impl& s = surface_->impl();
    const QFont& qf = font().impl().font;
    QString text = QString::fromUtf8(utf8.data(), int(utf8.size()));
    QFontMetrics m(qf);
    QPainter p(&s.image);
    p.setFont(qf);
    if (bk_mode_ == BkMode::Opaque)
        p.fillRect(QRect(x, y, m.horizontalAdvance(text), m.height()), QColor(bk_.r, bk_.g, bk_.b));
    p.setPen(QColor(text_.r, text_.g, text_.b));
    p.drawText(QPoint(x, y + m.ascent()), text);
    p.end();
    surface_->notify_changed();
}

void Dc::move_to(int x, int y) {
    cur_x_ = x;
    cur_y_ = y;
}

void Dc::line_to(int x, int y) {
    Surface::Impl& s = surface_->impl();
    QImage& img = s.image;
    const int sc = s.scale;
    const QRgb v = to_qrgb(pen_);
    const int w = img.width() / sc, h = img.height() / sc;
    int x0 = cur_x_, y0 = cur_y_;
    const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    // Bresenham, the end point excluded.
    while (!(x0 == x && y0 == y)) {
        if (x0 >= 0 && y0 >= 0 && x0 < w && y0 < h) {
            if (sc == 1) {
                reinterpret_cast<QRgb*>(img.scanLine(y0))[x0] = v;
            } else {
                fill_logical(img, sc, x0, y0, x0 + 1, y0 + 1, v);
            }
        }
        int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
    }
    cur_x_ = x;
    cur_y_ = y;
    surface_->notify_changed();
}

void Dc::bit_blt(int dx, int dy, int width, int height, const Dc& src, int sx, int sy) {
    QImage& di = surface_->impl().image;
    const QImage& si = src.surface_->impl().image;
    const int sc = surface_->impl().scale;
    if (src.surface_->impl().scale != sc) return;
    // Clip against both images (logical units).
    int sw = si.width() / sc, sh = si.height() / sc, dw = di.width() / sc, dh = di.height() / sc;
    if (sx < 0) { dx -= sx; width += sx; sx = 0; }
    if (sy < 0) { dy -= sy; height += sy; sy = 0; }
    if (dx < 0) { sx -= dx; width += dx; dx = 0; }
    if (dy < 0) { sy -= dy; height += dy; dy = 0; }
    width = std::min({width, sw - sx, dw - dx});
    height = std::min({height, sh - sy, dh - dy});
    if (width <= 0 || height <= 0) return;
    const size_t bytes = size_t(width) * sc * sizeof(QRgb);
    const int rows = height * sc;
    const bool same = &di == &si;
    // Moving down on the same image: copy bottom rows first so no source row is overwritten before it is read.
    if (same && dy > sy) {
        for (int r = rows - 1; r >= 0; --r)
            std::memmove(di.scanLine(dy * sc + r) + dx * sc * sizeof(QRgb),
                         si.constScanLine(sy * sc + r) + sx * sc * sizeof(QRgb), bytes);
    } else {
        for (int r = 0; r < rows; ++r)
            std::memmove(di.scanLine(dy * sc + r) + dx * sc * sizeof(QRgb),
                         si.constScanLine(sy * sc + r) + sx * sc * sizeof(QRgb), bytes);
    }
    surface_->notify_changed();
}

}  // namespace dl
