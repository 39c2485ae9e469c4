#include "display/display_fixture.h"

#include <algorithm>
#include <utility>

#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/view.h"


namespace {

using namespace dl_test;
using dl::Rgb;
using dl::rgb;

class Meter : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        dl::Settings.Decibel = false;
    }
    // Mono row: top 2Y, height 3Y, 16-bit unit.
    void Tick(uint32_t a) {
        dl::Dc dc(*window);
        dl::DrawLevels(dc, a, 2 * Y(), 3 * Y(), 2048);
    }
    Rgb Segment(int k) const { return At(37 * X() + ((2 + 3 * k) * X()) / 2 + 1, 3 * Y()); }
    Rgb DbSegment(int n) const { return At(37 * X() + (n * X()) / 2, 3 * Y()); }
    Rgb Lamp() const { return At(62 * X() + 1, 3 * Y()); }
};

TEST_F(Meter, SilenceLeavesEverythingDimWithoutMarker) {
    Tick(0);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(Segment(k), rgb(0x008000));
    for (int k = 8; k < 12; ++k) EXPECT_EQ(Segment(k), rgb(0x808000));
    for (int k = 12; k < 16; ++k) EXPECT_EQ(Segment(k), rgb(0x800000));
    EXPECT_EQ(Lamp(), rgb(0x800000));
    EXPECT_EQ(dl::PeakHoldValues[0], 0u);
    int white = 0;
    for (int x = 37 * X(); x < 72 * X(); ++x) white += At(x, 3 * Y()) == dl::kWhite;
    EXPECT_EQ(white, 0);
}

TEST_F(Meter, LinearSegmentsLitByLevel) {
    Tick(8 * 2048);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(Segment(k), rgb(0x00FF00)) << k;
    EXPECT_EQ(Segment(8), rgb(0x808000));
    dl::ClearHeldPeaks();
    Tick(8 * 2048 + 1);
    EXPECT_EQ(Segment(8), rgb(0xFFFF00));
    EXPECT_EQ(Segment(9), rgb(0x808000));
    // The held peak marks the right end of the segment holding it.
    const int f = 3 * ((8 * 2048 + 1 - 1) / 2048) + 2;
    const int x = 37 * X() + (f * X()) / 2 + X() - X() / 4;
    EXPECT_EQ(At(x, 3 * Y()), dl::kWhite);
    EXPECT_EQ(At(x + X() / 4 - 1, 3 * Y()), dl::kWhite);
    EXPECT_NE(At(x - 1, 3 * Y()), dl::kWhite);
}

TEST_F(Meter, OverloadLightsTheLampAndHoldsAbove) {
    Tick(32767);
    EXPECT_EQ(Lamp(), rgb(0xFF0000));
    EXPECT_EQ(dl::PeakHoldValues[0], 34816u);
    EXPECT_EQ(At(63 * X() - X() / 4, 3 * Y()), dl::kWhite);  // marker on the lamp
    Tick(0);
    EXPECT_EQ(dl::PeakHoldValues[0], 34816u - 512);
    Tick(0);
    EXPECT_EQ(dl::PeakHoldValues[0], 34816u - 1024);
    // Constant hold keeps it; no hold draws no marker.
    dl::Settings.PeakHold = 2;
    Tick(0);
    EXPECT_EQ(dl::PeakHoldValues[0], 34816u - 1024);
    dl::Settings.PeakHold = 0;
    Tick(100);
    for (int x = 37 * X(); x < 72 * X(); ++x) ASSERT_NE(At(x, 3 * Y()), dl::kWhite) << x;
}

TEST_F(Meter, DecibelSegmentsAtHalfScale) {
    dl::Settings.Decibel = true;
    Tick(16384);  // -6 dB
    for (int n : {42, 40, 38}) EXPECT_EQ(DbSegment(n), rgb(0x808000)) << n;
    for (int n = 36; n >= 26; n -= 2) EXPECT_EQ(DbSegment(n), rgb(0x00FF00)) << n;
    for (int n = 24; n >= 14; n -= 2) EXPECT_EQ(DbSegment(n), rgb(0x00FFFF)) << n;
    for (int n = 12; n >= 2; n -= 2) EXPECT_EQ(DbSegment(n), rgb(0x0000FF)) << n;
    for (int n : {48, 46, 44}) EXPECT_EQ(DbSegment(n), rgb(0x800000)) << n;
    EXPECT_EQ(Lamp(), rgb(0x800000));
    // The marker sits at the right end of the -7 dB segment.
    EXPECT_EQ(At(37 * X() + (37 * X()) / 2 - X() / 4, 3 * Y()), dl::kWhite);
    // Decay on the decibel scale: 3 % per tick.
    Tick(0);
    EXPECT_EQ(dl::PeakHoldValues[0], uint32_t(16384 * 0.97 + 0.25));
}

// Pictures drawn several times a slice let the held peak fall by the slice, as one picture a slice
// would, on both scales.
TEST_F(Meter, HeldPeakFallsByTheSliceWhateverThePicturesASlice) {
    for (bool decibel : {true, false}) {
        dl::Settings.Decibel = decibel;
        dl::PictureShareOfSlice = 1.0;
        dl::PeakHoldValues = {8 * 2048, 0};
        for (int k = 0; k < 5; ++k) Tick(0);
        const uint32_t per_slice = dl::PeakHoldValues[0];
        ASSERT_LT(per_slice, 8u * 2048) << decibel;
        dl::PictureShareOfSlice = 1.0 / 6;
        dl::PeakHoldValues = {8 * 2048, 0};
        for (int k = 0; k < 30; ++k) Tick(0);
        EXPECT_NEAR(double(dl::PeakHoldValues[0]), double(per_slice), 0.01 * per_slice) << decibel;
    }
    dl::PictureShareOfSlice = 1.0;
}

TEST_F(Meter, MonochromePalette) {
    dl::Settings.monochrome = 1;
    Tick(13 * 2048);
    EXPECT_EQ(Segment(0), rgb(0x00FFFF));
    EXPECT_EQ(Segment(9), rgb(0xFFFF00));
    EXPECT_EQ(Segment(12), rgb(0x00FFFF));
    EXPECT_EQ(Segment(14), rgb(0x000080));
    EXPECT_EQ(Lamp(), rgb(0x800000));
}

TEST_F(Meter, ContinuousBars) {
    dl::FastLevelStyle = true;
    Tick(8 * 2048);
    EXPECT_EQ(At(50 * X() - 1, 3 * Y()), rgb(0x00FF00));
    EXPECT_EQ(At(50 * X() + 1, 3 * Y()), rgb(0x808000));
    EXPECT_EQ(At(62 * X(), 3 * Y()), rgb(0x800000));  // red zone reaches 62X + 1
    EXPECT_EQ(At(38 * X() + 8 * 24 * X() / 16, 3 * Y()), dl::kWhite);  // peak line at 8b
    dl::ClearHeldPeaks();
    Tick(32767);
    EXPECT_EQ(At(62 * X() - 1, 3 * Y()), rgb(0xFF0000));
    EXPECT_EQ(At(62 * X(), 3 * Y()), dl::kWhite);  // the held overload marks full scale
    dl::Settings.Decibel = true;
    dl::ClearHeldPeaks();
    Tick(16384);  // -6.02 dB: zone 3 full, zone 2 empty
    EXPECT_EQ(At(56 * X() - 2, 3 * Y()), rgb(0x00FF00));
    EXPECT_EQ(At(56 * X(), 3 * Y()), rgb(0x808000));
    EXPECT_EQ(At(int((20 * std::log10(0.5) + 24) * X() + 38 * X()), 3 * Y()), dl::kWhite);
}

TEST_F(Meter, ChannelCaptions) {
    dl::Dc dc(*window);
    dc.fill_rect(0, 0, window->width(), window->height(), dl::kBlack);
    dl::DrawChannelLabels(dc);
    auto yellow_in = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y) n += At(x, y) == rgb(0xFFFF00);
        return n;
    };
    EXPECT_EQ(yellow_in(0, 0, window->width(), 8 * Y()), 0);  // no source mode: nothing
    dl::SourceState.mode = dl::SourceMode::File;
    dl::DrawChannelLabels(dc);
    EXPECT_GT(yellow_in(64 * X(), 2 * Y() - 1, 72 * X(), 4 * Y() - 1), 10);
    EXPECT_GT(yellow_in(64 * X(), 4 * Y() - 1, 72 * X(), 6 * Y()), 10);
    dc.fill_rect(0, 0, window->width(), window->height(), dl::kBlack);
    dl::SourceInfo.ChannelLayout = 1;
    dl::DrawChannelLabels(dc);
    EXPECT_GT(yellow_in(63 * X(), 2 * Y(), 72 * X(), 5 * Y()), 10);
    EXPECT_EQ(yellow_in(0, 0, 63 * X(), 8 * Y()), 0);
}

// Ink rows of one character: per row, the first and last inked column (-1 when none).
std::vector<std::pair<int, int>> InkRows(const dl::Font& font, const std::string& ch) {
    dl::Surface s(24, 24);
    dl::Dc dc(s);
    dc.select_font(&font);
    dc.set_text_color(dl::kWhite);
    dc.set_bk_mode(dl::BkMode::Transparent);
    dc.text_out(4, 2, ch);
    std::vector<std::pair<int, int>> rows;
    for (int y = 0; y < s.height(); ++y) {
        std::pair<int, int> r{-1, -1};
        for (int x = 0; x < s.width(); ++x)
            if (s.pixel(x, y) == dl::kWhite) r = {r.first < 0 ? x : r.first, x};
        if (r.first >= 0) rows.push_back(r);
    }
    return rows;
}

// An "e" as a reader tells it from an "o": a crossbar across the whole letter, and below it the bowl
// open on the right.
bool ReadsAsE(const std::vector<std::pair<int, int>>& rows) {
    if (rows.size() < 4) return false;
    int left = rows[0].first, right = rows[0].second;
    for (auto [a, b] : rows) left = std::min(left, a), right = std::max(right, b);
    for (size_t bar = 1; bar + 2 < rows.size(); ++bar) {
        if (rows[bar].first != left || rows[bar].second != right) continue;
        for (size_t k = bar + 1; k + 1 < rows.size(); ++k)
            if (rows[k].second <= right - 2) return true;
    }
    return false;
}

// The captions of the English interface in its own font: "Left" never reads as "Loft", nor "Right" as
// "Aight"; the Japanese interface keeps a font of its character set.
TEST_F(Meter, CaptionFontFollowsTheInterfaceLanguage) {
    auto render = [](const dl::Font& font, const std::string& text) {
        auto s = std::make_unique<dl::Surface>(60, 20);
        dl::Dc dc(*s);
        dc.select_font(&font);
        dc.set_text_color(dl::kWhite);
        dc.set_bk_mode(dl::BkMode::Transparent);
        dc.text_out(2, 2, text);
        return s;
    };
    dl::JapaneseUi = false;
    const std::unique_ptr<dl::Font> english = dl::CreateChannelCaptionFont();
    dl::Font::use_japanese_stock_font(true);
    const std::string japanese_family = dl::Font::stock_fixed().family();
    dl::Font::use_japanese_stock_font(false);
    EXPECT_NE(english->family(), japanese_family);
    EXPECT_EQ(english->family(), dl::Font::stock_fixed().family());
    EXPECT_FALSE(english->metrics().japanese_charset);
    EXPECT_TRUE(ReadsAsE(InkRows(*english, "e")));
    EXPECT_FALSE(ReadsAsE(InkRows(*english, "o")));
    // An "R" has its stem down the left from top to bottom; an "A" comes to a point.
    const auto r = InkRows(*english, "R"), a = InkRows(*english, "A");
    EXPECT_TRUE(std::all_of(r.begin(), r.end(), [&](auto row) { return row.first == r.front().first; }));
    EXPECT_FALSE(std::all_of(a.begin(), a.end(), [&](auto row) { return row.first == a.front().first; }));
    EXPECT_FALSE(render(*english, "Left")->same_pixels(*render(*english, "Loft")));
    // Bold, as before.
    const std::unique_ptr<dl::Font> regular = dl::Font::create(-(3 * Y()) / 2, 400, false, "", false);
    EXPECT_FALSE(render(*english, "Left")->same_pixels(*render(*regular, "Left")));

    dl::JapaneseUi = true;
    const std::unique_ptr<dl::Font> japanese = dl::CreateChannelCaptionFont();
    EXPECT_EQ(japanese->family(), japanese_family);
    EXPECT_TRUE(japanese->metrics().japanese_charset);
    EXPECT_FALSE(render(*japanese, "ＬＥＦＴ")->same_pixels(*render(*japanese, "ＲＩＧＨＴ")));
    dl::JapaneseUi = false;
}

}  // namespace
