#include "platform/dc.h"

#include <QPainter>
#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/font_impl.h"
#include "platform/surface_impl.h"
#include "platform/text_raster.h"

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

// Scratch of compose_columns, kept between calls so that a graph drawn per tick allocates nothing.
struct ComposeScratch {
    std::vector<QRgb> current, plain, full, row;
    std::vector<int32_t> start;
    std::vector<uint8_t> flags;
    std::vector<ColumnPicture::Change> sorted;
};

// Each pixel takes its column's run colour, or the background where the column has none (0; a
// colour always has its alpha byte set, which also serves as the blend mask).
void combine_row_portable(QRgb* out, const QRgb* current, const QRgb* background, int n) {
    int c = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; c + 4 <= n; c += 4) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(current + c));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(background + c));
        const __m128i none = _mm_cmpeq_epi32(f, zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c), _mm_or_si128(f, _mm_and_si128(none, b)));
    }
#endif
    for (; c < n; ++c) out[c] = current[c] ? current[c] : background[c];
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("avx2"))) void combine_row_avx2(QRgb* out, const QRgb* current, const QRgb* background, int n) {
    int c = 0;
    for (; c + 16 <= n; c += 16) {
        const __m256 f0 = _mm256_loadu_ps(reinterpret_cast<const float*>(current + c));
        const __m256 f1 = _mm256_loadu_ps(reinterpret_cast<const float*>(current + c + 8));
        const __m256 b0 = _mm256_loadu_ps(reinterpret_cast<const float*>(background + c));
        const __m256 b1 = _mm256_loadu_ps(reinterpret_cast<const float*>(background + c + 8));
        _mm256_storeu_ps(reinterpret_cast<float*>(out + c), _mm256_blendv_ps(b0, f0, f0));
        _mm256_storeu_ps(reinterpret_cast<float*>(out + c + 8), _mm256_blendv_ps(b1, f1, f1));
    }
    for (; c < n; ++c) out[c] = current[c] ? current[c] : background[c];
}

void combine_row(QRgb* out, const QRgb* current, const QRgb* background, int n) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        combine_row_avx2(out, current, background, n);
    else
        combine_row_portable(out, current, background, n);
}
#else
void combine_row(QRgb* out, const QRgb* current, const QRgb* background, int n) {
    combine_row_portable(out, current, background, n);
}
#endif

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

void Dc::compose_columns(int x0, int y0, const ColumnPicture& p) {
    const int n = p.columns, h = p.rows;
    if (n <= 0 || h <= 0) return;
    thread_local ComposeScratch t;
    Surface::Impl& s = surface_->impl();
    QImage& img = s.image;
    const int sc = s.scale;

    // Changes bucketed by row, in their given order within a row so that the last one counts.
    t.start.assign(size_t(h) + 2, 0);
    auto usable = [&](const ColumnPicture::Change& c) { return c.column >= 0 && c.column < n && c.row < h; };
    for (const ColumnPicture::Change& c : p.changes)
        if (usable(c)) ++t.start[size_t(std::max(int(c.row), 0)) + 2];
    for (int r = 2; r <= h + 1; ++r) t.start[r] += t.start[r - 1];
    t.sorted.resize(size_t(t.start[h + 1]));
    for (const ColumnPicture::Change& c : p.changes)
        if (usable(c)) t.sorted[size_t(t.start[size_t(std::max(int(c.row), 0)) + 1]++)] = c;
    // Now start[r] is where row r's changes begin.

    QRgb palette[256] = {};
    for (size_t k = 0; k < std::min(p.palette.size(), size_t(ColumnPicture::kBackground)); ++k)
        palette[k] = to_qrgb(p.palette[k]);  // never 0: the alpha byte is set
    t.current.assign(size_t(n), 0);

    // Row flags: 1 a full-width line, 2 a column line begins or ends here.
    t.flags.assign(size_t(h), 0);
    for (int16_t r : p.line_rows)
        if (r >= 0 && r < h) t.flags[r] |= 1;
    for (const ColumnPicture::ColumnLine& l : p.line_columns) {
        if (l.top > 0 && l.top < h) t.flags[l.top] |= 2;
        if (l.bottom > 0 && l.bottom < h) t.flags[l.bottom] |= 2;
    }
    const QRgb ground = to_qrgb(p.background), line = to_qrgb(p.line);
    t.full.assign(size_t(n), line);
    t.plain.resize(size_t(n));
    t.row.resize(size_t(n));

    const qsizetype stride = img.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* bits = reinterpret_cast<QRgb*>(img.bits());
    const int iw = img.width(), ih = img.height();
    const bool direct = sc == 1 && x0 >= 0 && x0 + n <= iw;
    for (int y = 0; y < h; ++y) {
        for (int k = t.start[y]; k < t.start[y + 1]; ++k) {
            const ColumnPicture::Change& c = t.sorted[size_t(k)];
            t.current[c.column] = palette[c.colour];
        }
        if (y == 0 || (t.flags[y] & 2)) {
            std::fill(t.plain.begin(), t.plain.end(), ground);
            for (const ColumnPicture::ColumnLine& l : p.line_columns)
                if (l.column >= 0 && l.column < n && l.top <= y && y < l.bottom) t.plain[l.column] = line;
        }
        const int dy = y0 + y;
        if (dy < 0 || dy * sc >= ih) continue;
        if (direct) {
            QRgb* out = bits + qsizetype(dy) * stride + x0;
            combine_row(out, t.current.data(), p.keep_background ? out : t.flags[y] & 1 ? t.full.data() : t.plain.data(), n);
            continue;
        }
        // Scaled or partly outside: compose the logical row, then write what is visible.
        const int c0 = std::max(0, -x0), c1 = std::min(n, iw / sc - x0);
        if (c0 >= c1) continue;
        QRgb* device = bits + qsizetype(dy) * sc * stride;
        if (p.keep_background)
            for (int c = c0; c < c1; ++c) t.row[c] = device[(x0 + c) * sc];
        combine_row(t.row.data(), t.current.data(),
                    p.keep_background ? t.row.data() : t.flags[y] & 1 ? t.full.data() : t.plain.data(), n);
        for (int r = 0; r < sc && dy * sc + r < ih; ++r) {
            QRgb* out = device + qsizetype(r) * stride;
            for (int c = c0; c < c1; ++c) std::fill(out + (x0 + c) * sc, out + (x0 + c + 1) * sc, t.row[c]);
        }
    }
    surface_->notify_changed();
}

int Dc::text_width(const std::string& utf8) const { return font().text_width(utf8); }

void Dc::text_out(int x, int y, const std::string& utf8) {
    if (utf8.empty()) return;
    Surface::Impl& s = surface_->impl();
    const QFont& qf = font().impl().font;
    if (s.scale == 1 && ascii_grid_text(qf, utf8)) {
        // Fixed-font ASCII, the common case of every tick, from cached glyphs.
        const TextMetrics& tm = font().impl().cached_metrics();
        if (bk_mode_ == BkMode::Opaque)
            fill_logical(s.image, 1, x, y, x + tm.ave_char_width * int(utf8.size()), y + tm.height, to_qrgb(bk_));
        raster_ascii_text(s.image, qf, x, y, utf8, to_qrgb(text_));
        surface_->notify_changed();
        return;
    }
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
