#pragma once
#include <memory>
#include <string>

namespace dl {

struct TextMetrics {
    int height = 0;
    int ascent = 0;
    int ave_char_width = 0;
    int max_char_width = 0;
    bool variable_pitch = false;
    bool japanese_charset = false;
};

// A font for text_out. The stock fixed font stands in for the system's fixed panel font.
class Font {
public:
    // Creates a font by a Windows-style height (negative: character height in pixels).
    static std::unique_ptr<Font> create(int height, int weight, bool japanese_charset, const std::string& face,
                                        bool fixed_pitch);
    // The stock fixed font: DejaVu Sans Mono, or IPAGothic for the Japanese interface.
    // Fonts of the Japanese character set draw in IPAGothic, the others in DejaVu Sans Mono.
    static const Font& stock_fixed();
    static void use_japanese_stock_font(bool japanese);

    ~Font();
    TextMetrics metrics() const;
    // The family the text is drawn in.
    std::string family() const;
    // Width in pixels of a UTF-8 text in this font.
    int text_width(const std::string& utf8) const;

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    Font();
    std::unique_ptr<Impl> impl_;
};

}  // namespace dl
