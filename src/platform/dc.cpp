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

// Fills the device pixels of a logical rectangle, clipped to the image.
void fill_logical(Surface::Impl& s, int left, int top, int right, int bottom, QRgb v) {
    QImage& img = s.image;
    const auto [sx0, sx1] = s.span(left, right);
    const auto [sy0, sy1] = s.span(top, bottom);
    const int x0 = std::max(sx0, 0), y0 = std::max(sy0, 0);
    const int x1 = std::min(sx1, img.width()), y1 = std::min(sy1, img.height());
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
    std::vector<QRgb> current, plain, full, device_current, device_plain, device_full;
    std::vector<int32_t> start, bounds;
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

// Composes a ColumnPicture row by row: each column keeps its colour from one change to the next,
// over the background with its grid lines.
class ColumnComposer {
public:
    ColumnComposer(Surface::Impl& s, int x0, int y0, const ColumnPicture& p, ComposeScratch& t)
        : s_(s), p_(p), t_(t), x0_(x0), y0_(y0), n_(p.columns), h_(p.rows) {}

    void run() {
        bucket_changes();
        mark_rows();
        prepare_rows();
        for (int y = 0; y < h_; ++y) {
            for (int k = t_.start[y]; k < t_.start[y + 1]; ++k) {
                const ColumnPicture::Change& c = t_.sorted[size_t(k)];
                t_.current[c.column] = palette_[c.colour];
            }
            if (y == 0 || (t_.flags[y] & 2)) plain_row(y);
            const int dy = y0_ + y;
            if (dy < 0 || s_.device(dy) >= ih_) continue;
            if (direct_)
                direct_row(y, dy);
            else if (d0_ < d1_)
                device_row(y, dy);
        }
    }

private:
    // Changes bucketed by row, in their given order within a row so that the last one counts.
    void bucket_changes() {
        t_.start.assign(size_t(h_) + 2, 0);
        auto usable = [&](const ColumnPicture::Change& c) { return c.column >= 0 && c.column < n_ && c.row < h_; };
        for (const ColumnPicture::Change& c : p_.changes)
            if (usable(c)) ++t_.start[size_t(std::max(int(c.row), 0)) + 2];
        for (int r = 2; r <= h_ + 1; ++r) t_.start[r] += t_.start[r - 1];
        t_.sorted.resize(size_t(t_.start[h_ + 1]));
        for (const ColumnPicture::Change& c : p_.changes)
            if (usable(c)) t_.sorted[size_t(t_.start[size_t(std::max(int(c.row), 0)) + 1]++)] = c;
        // Now start[r] is where row r's changes begin.
    }

    // Row flags: 1 a full-width line, 2 a column line begins or ends here.
    void mark_rows() {
        t_.flags.assign(size_t(h_), 0);
        for (int16_t r : p_.line_rows)
            if (r >= 0 && r < h_) t_.flags[r] |= 1;
        for (const ColumnPicture::ColumnLine& l : p_.line_columns) {
            if (l.top > 0 && l.top < h_) t_.flags[l.top] |= 2;
            if (l.bottom > 0 && l.bottom < h_) t_.flags[l.bottom] |= 2;
        }
    }

    void prepare_rows() {
        for (size_t k = 0; k < std::min(p_.palette.size(), size_t(ColumnPicture::kBackground)); ++k)
            palette_[k] = to_qrgb(p_.palette[k]);  // never 0: the alpha byte is set
        t_.current.assign(size_t(n_), 0);
        ground_ = to_qrgb(p_.background);
        line_ = to_qrgb(p_.line);
        t_.full.assign(size_t(n_), line_);
        t_.plain.resize(size_t(n_));
        QImage& img = s_.image;
        stride_ = img.bytesPerLine() / qsizetype(sizeof(QRgb));
        bits_ = reinterpret_cast<QRgb*>(img.bits());
        const int iw = img.width();
        ih_ = img.height();
        direct_ = s_.whole == 1 && x0_ >= 0 && x0_ + n_ <= iw;
        // Otherwise rows are composed in device pixels: columns [d0, d1) of the image, the picture's from dp.
        dp_ = s_.device(x0_);
        d0_ = std::max(dp_, 0);
        d1_ = std::min(s_.device(x0_ + n_), iw);
        if (direct_) return;
        t_.device_current.assign(size_t(std::max(d1_ - dp_, 0)), 0);
        t_.device_plain.resize(t_.device_current.size());
        t_.device_full.assign(t_.device_current.size(), line_);
        t_.bounds.resize(size_t(n_) + 1);
        for (int c = 0; c <= n_; ++c) t_.bounds[size_t(c)] = std::clamp(s_.device(x0_ + c), d0_, d1_) - dp_;
    }

    bool on_column_line(const ColumnPicture::ColumnLine& l, int y) const {
        return l.column >= 0 && l.column < n_ && l.top <= y && y < l.bottom;
    }

    // The background of the rows from y on, up to the next row where a column line begins or ends.
    void plain_row(int y) {
        std::fill(t_.plain.begin(), t_.plain.end(), ground_);
        for (const ColumnPicture::ColumnLine& l : p_.line_columns)
            if (on_column_line(l, y)) t_.plain[l.column] = line_;
        if (direct_ || d0_ >= d1_) return;
        // Column lines a stroke wide, like every one-pixel line.
        std::fill(t_.device_plain.begin(), t_.device_plain.end(), ground_);
        for (const ColumnPicture::ColumnLine& l : p_.line_columns) {
            if (!on_column_line(l, y)) continue;
            const int a = s_.device(x0_ + l.column) - dp_, b = std::min(a + s_.stroke, d1_ - dp_);
            if (a < b) std::fill(t_.device_plain.begin() + a, t_.device_plain.begin() + b, line_);
        }
    }

    void direct_row(int y, int dy) {
        QRgb* out = bits_ + qsizetype(dy) * stride_ + x0_;
        const QRgb* background = p_.keep_background ? out : t_.flags[y] & 1 ? t_.full.data() : t_.plain.data();
        combine_row(out, t_.current.data(), background, n_);
    }

    // Column c's device pixels take its colour; a run with background on its right is a line, a stroke
    // wide (thin columns would otherwise alternate between one and two device pixels).
    void tile(int c) {
        if (c >= 0 && c < n_)
            std::fill(t_.device_current.begin() + t_.bounds[size_t(c)],
                      t_.device_current.begin() + t_.bounds[size_t(c) + 1], t_.current[c]);
    }
    void spill(int c) {
        if (s_.whole != 0 || c < 0 || c + 1 >= n_ || !t_.current[c] || t_.current[c + 1]) return;
        const int end = std::min(s_.device(x0_ + c) + s_.stroke, d1_) - dp_;
        for (int d = t_.bounds[size_t(c) + 1]; d < end; ++d) t_.device_current[size_t(d)] = t_.current[c];
    }
    void expand(int c) {
        tile(c);
        tile(c + 1);
        spill(c - 1);
        spill(c);
    }

    // Scaled or partly outside: each logical pixel covers its device pixels, redrawn where a column changed.
    void device_row(int y, int dy) {
        if (!expanded_) {
            for (int c = 0; c < n_; ++c) expand(c);
            expanded_ = true;
        } else {
            for (int k = t_.start[y]; k < t_.start[y + 1]; ++k) expand(t_.sorted[size_t(k)].column);
        }
        const int r0 = std::max(s_.device(dy), 0), r1 = std::min(s_.device(dy + 1), ih_);
        for (int r = r0; r < r1; ++r) {
            // A row line is a stroke high, reaching into the next row where that row is thinner.
            const bool full = ((t_.flags[y] & 1) && r < s_.device(dy) + s_.stroke) ||
                              (y > 0 && (t_.flags[y - 1] & 1) && r < s_.device(dy - 1) + s_.stroke);
            QRgb* out = bits_ + qsizetype(r) * stride_ + d0_;
            const QRgb* background =
                p_.keep_background ? out : (full ? t_.device_full.data() : t_.device_plain.data()) + (d0_ - dp_);
            combine_row(out, t_.device_current.data() + (d0_ - dp_), background, d1_ - d0_);
        }
    }

    Surface::Impl& s_;
    const ColumnPicture& p_;
    ComposeScratch& t_;
    const int x0_, y0_, n_, h_;
    QRgb palette_[256] = {};
    QRgb ground_ = 0, line_ = 0;
    qsizetype stride_ = 0;
    QRgb* bits_ = nullptr;
    int ih_ = 0, dp_ = 0, d0_ = 0, d1_ = 0;
    bool direct_ = false, expanded_ = false;
};

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
    fill_logical(surface_->impl(), left, top, right, bottom, to_qrgb(colour));
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
    if (s.whole != 1) {
        for (int c = 0; c < n; ++c) fill_logical(s, x0 + c, top[c], x0 + c + 1, bottom[c], v);
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
    if (p.columns <= 0 || p.rows <= 0) return;
    thread_local ComposeScratch t;
    ColumnComposer(surface_->impl(), x0, y0, p, t).run();
    surface_->notify_changed();
}

void Dc::draw_index_columns(int x0, int y0, int columns, int rows, const uint8_t* cells, int stride,
                            const Rgb* palette) {
    if (columns <= 0 || rows <= 0) return;
    Surface::Impl& s = surface_->impl();
    QRgb colours[256];
    for (int k = 0; k < 256; ++k) colours[k] = to_qrgb(palette[k]);
    if (s.whole == 0) {
        for (int c = 0; c < columns; ++c)
            for (int r = 0; r < rows; ++r)
                fill_logical(s, x0 + c, y0 + r, x0 + c + 1, y0 + r + 1, colours[cells[size_t(c) * size_t(stride) + size_t(r)]]);
        surface_->notify_changed();
        return;
    }
    // A whole scale: each cell is k x k device pixels, written row by row.
    QImage& img = s.image;
    const int k = s.whole;
    const int c0 = std::max(0, -x0), c1 = std::min(columns, img.width() / k - x0);
    const int r0 = std::max(0, -y0), r1 = std::min(rows, img.height() / k - y0);
    for (int r = r0; r < r1; ++r) {
        const uint8_t* in = cells + r;
        for (int dy = 0; dy < k; ++dy) {
            QRgb* out = reinterpret_cast<QRgb*>(img.scanLine((y0 + r) * k + dy)) + size_t(x0) * size_t(k);
            if (k == 1) {
                for (int c = c0; c < c1; ++c) out[c] = colours[in[size_t(c) * size_t(stride)]];
            } else {
                for (int c = c0; c < c1; ++c) std::fill_n(out + size_t(c) * size_t(k), k, colours[in[size_t(c) * size_t(stride)]]);
            }
        }
    }
    surface_->notify_changed();
}

int Dc::text_width(const std::string& utf8) const { return font().text_width(utf8); }

void Dc::text_out(int x, int y, const std::string& utf8) {
    if (utf8.empty()) return;
    Surface::Impl& s = surface_->impl();
    const QFont& qf = font().impl().font;
    const QRgb bk = to_qrgb(bk_), ink = to_qrgb(text_);
    if (ascii_grid_text(qf, utf8)) {
        // Fixed-font ASCII, the common case of every tick, from cached glyphs.
        const TextMetrics& tm = font().impl().cached_metrics();
        const int n = int(utf8.size());
        if (s.whole == 1) {
            if (bk_mode_ == BkMode::Opaque) fill_logical(s, x, y, x + tm.ave_char_width * n, y + tm.height, bk);
            raster_ascii_text(s.image, qf, x, y, utf8, ink);
            surface_->notify_changed();
            return;
        }
        // Scaled: glyphs of the font at the device size, each in its logical cell so text keeps its layout.
        const QFont& device_font = font().impl().device_font(s.scale);
        if (ascii_grid_text(device_font, utf8)) {
            if (bk_mode_ == BkMode::Opaque) fill_logical(s, x, y, x + tm.ave_char_width * n, y + tm.height, bk);
            thread_local std::vector<int> cells;
            cells.resize(utf8.size());
            for (int i = 0; i < n; ++i) cells[size_t(i)] = s.device(x + i * tm.ave_char_width);
            raster_ascii_cells(s.image, device_font, cells.data(), s.device(y), utf8, ink);
            surface_->notify_changed();
            return;
        }
    }
    QString text = QString::fromUtf8(utf8.data(), int(utf8.size()));
    QFontMetrics m(qf);
    if (bk_mode_ == BkMode::Opaque) fill_logical(s, x, y, x + m.horizontalAdvance(text), y + m.height(), bk);
    QPainter p(&s.image);
    p.setFont(qf);
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
    const QRgb v = to_qrgb(pen_);
    const int w = s.width, h = s.height;
    int x0 = cur_x_, y0 = cur_y_;
    const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    // Bresenham, the end point excluded.
    while (!(x0 == x && y0 == y)) {
        if (x0 >= 0 && y0 >= 0 && x0 < w && y0 < h) {
            if (s.whole == 1) {
                reinterpret_cast<QRgb*>(img.scanLine(y0))[x0] = v;
            } else {
                fill_logical(s, x0, y0, x0 + 1, y0 + 1, v);
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
    Surface::Impl& d = surface_->impl();
    const Surface::Impl& si = src.surface_->impl();
    if (si.scale != d.scale) return;
    // Clip against both surfaces (logical units).
    if (sx < 0) { dx -= sx; width += sx; sx = 0; }
    if (sy < 0) { dy -= sy; height += sy; sy = 0; }
    if (dx < 0) { sx -= dx; width += dx; dx = 0; }
    if (dy < 0) { sy -= dy; height += dy; dy = 0; }
    width = std::min({width, si.width - sx, d.width - dx});
    height = std::min({height, si.height - sy, d.height - dy});
    if (width <= 0 || height <= 0) return;
    // The destination's device block, read from the source's block corner; both clipped to their images.
    const int ddx = d.device(dx), ddy = d.device(dy), dsx = si.device(sx), dsy = si.device(sy);
    const int columns = std::min({d.device(dx + width) - ddx, si.image.width() - dsx, d.image.width() - ddx});
    const int rows = std::min({d.device(dy + height) - ddy, si.image.height() - dsy, d.image.height() - ddy});
    if (columns <= 0 || rows <= 0) return;
    QImage& di = d.image;
    const QImage& simg = si.image;
    const size_t bytes = size_t(columns) * sizeof(QRgb);
    const bool same = &di == &simg;
    // Moving down on the same image: copy bottom rows first so no source row is overwritten before it is read.
    if (same && ddy > dsy) {
        for (int r = rows - 1; r >= 0; --r)
            std::memmove(di.scanLine(ddy + r) + ddx * sizeof(QRgb), simg.constScanLine(dsy + r) + dsx * sizeof(QRgb),
                         bytes);
    } else {
        for (int r = 0; r < rows; ++r)
            std::memmove(di.scanLine(ddy + r) + ddx * sizeof(QRgb), simg.constScanLine(dsy + r) + dsx * sizeof(QRgb),
                         bytes);
    }
    surface_->notify_changed();
}

}  // namespace dl
