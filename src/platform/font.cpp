#include "platform/font.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "platform/font_impl.h"
#include "platform/text_raster.h"

namespace dl {

namespace {

// The fonts the layout is measured for, found by family through the system's font configuration.
// A missing one is named once, with the package that brings it; the toolkit substitutes meanwhile.
const QString& checked_family(const char* family, const char* package) {
    static std::map<std::string, QString> seen;
    auto [it, first] = seen.try_emplace(family, QString::fromUtf8(family));
    if (first && !QFontDatabase::hasFamily(it->second))
        std::fprintf(stderr, "dewlark: the font \"%s\" is missing (Debian package %s); text may be misplaced\n", family,
                     package);
    return it->second;
}

struct Families {
    const QString& latin = checked_family("DejaVu Sans Mono", "fonts-dejavu-core");
    const QString& japanese = checked_family("IPAGothic", "fonts-ipafont-gothic");
};

const Families& families() {
    static const Families f;
    return f;
}

bool g_japanese_stock = false;

QFont make_qfont(const QString& family, int pixel_size, int weight) {
    QFont f(family);
    f.setPixelSize(pixel_size);
    // Whole-pixel advances keep the fixed font a grid.
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::NoAntialias);
    f.setFixedPitch(true);
    f.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    return f;
}

}  // namespace

Font::Font() : impl_(std::make_unique<Impl>()) {}
Font::~Font() = default;

std::unique_ptr<Font> Font::create(int height, int weight, bool japanese_charset, const std::string& /*face*/,
                                   bool /*fixed_pitch*/) {
    std::unique_ptr<Font> f(new Font());
    const Families& fam = families();
    int px = height < 0 ? -height : (height == 0 ? 13 : height);
    // A negative height is the character height without internal leading; the fonts here have little,
    // so the pixel size is used as given.
    f->impl_->japanese = japanese_charset;
    f->impl_->font = make_qfont(japanese_charset ? fam.japanese : fam.latin, std::max(px, 4), weight);
    return f;
}

QFont dialog_font(bool japanese) {
    const QString& family = japanese ? checked_family("IPAPGothic", "fonts-ipafont-gothic")
                                     : checked_family("DejaVu Sans", "fonts-dejavu-core");
    QFont f(family);
    f.setPixelSize(13);
    return f;
}

void Font::use_japanese_stock_font(bool japanese) { g_japanese_stock = japanese; }

const Font& Font::stock_fixed() {
    static Font* latin = nullptr;
    static Font* japanese = nullptr;
    Font*& slot = g_japanese_stock ? japanese : latin;
    if (!slot) {
        slot = new Font();
        const Families& fam = families();
        // 13 px DejaVu Sans Mono advances 8 px; 16 px IPAGothic gives 8 px half-width characters.
        slot->impl_->japanese = g_japanese_stock;
        slot->impl_->font = g_japanese_stock ? make_qfont(fam.japanese, 16, 400) : make_qfont(fam.latin, 13, 400);
    }
    return *slot;
}

TextMetrics Font::metrics() const { return impl_->cached_metrics(); }

std::string Font::family() const { return QFontInfo(impl_->font).family().toStdString(); }

const TextMetrics& Font::Impl::cached_metrics() const {
    if (have_metrics) return metrics;
    QFontMetrics m(font);
    TextMetrics& t = metrics;
    have_metrics = true;
    t.height = m.height();
    t.ascent = m.ascent();
    t.ave_char_width = m.horizontalAdvance(QLatin1Char('x'));
    t.max_char_width = m.maxWidth();
    t.variable_pitch = false;
    t.japanese_charset = japanese;
    return t;
}

const QFont& Font::Impl::device_font(double scale) const {
    if (scaled_for != scale) {
        scaled = font;
        scaled.setPixelSize(std::max(int(std::lround(font.pixelSize() * scale)), 1));
        scaled_for = scale;
    }
    return scaled;
}

int Font::text_width(const std::string& utf8) const {
    if (ascii_grid_text(impl_->font, utf8)) return impl_->cached_metrics().ave_char_width * int(utf8.size());
    return QFontMetrics(impl_->font).horizontalAdvance(QString::fromUtf8(utf8.data(), int(utf8.size())));
}

}  // namespace dl
