// The frequency and level range: the axis both ways, and where the grid, its labels and the bars land.
#include <cmath>
#include <vector>

#include "analysis/pipeline_levels.h"
#include "display/analysis_settings.h"
#include "display/display_fixture.h"
#include "display/extra_trace.h"
#include "display/frequency_axis.h"
#include "display/level_scale.h"
#include "display/spectrogram.h"

namespace {

using namespace dl_test;
using dl::FrequencyAxis;
using dl::FrequencyRange;

const dl::Rgb kGridDark = dl::rgb(0x808080);

TEST(FrequencyAxis, WithoutARangeIsTheAxisAsItAlwaysWas) {
    for (int bins : {128, 2048, 32768})
        for (int width : {512, 1024, 800}) {
            const FrequencyAxis lin(true, bins, width, FrequencyRange{}), log(false, bins, width, FrequencyRange{});
            const dl::LinearAxis old_lin(bins, width);
            const dl::LogAxis old_log(bins, width);
            EXPECT_FALSE(lin.ranged());
            for (int i : {0, 1, 7, bins / 3, bins - 1}) {
                EXPECT_EQ(lin.column(i), old_lin.column(i));
                EXPECT_EQ(log.column(i), i == 0 ? 0 : int(old_log.offset(i)));
            }
            for (double c : {0.0, 0.5, 100.5, width - 0.5}) {
                EXPECT_DOUBLE_EQ(lin.line_at(c), old_lin.line_at(c));
                EXPECT_DOUBLE_EQ(log.line_at(c), old_log.line_at(c));
            }
        }
}

TEST(FrequencyAxis, ARangeSpansTheExtentBothWays) {
    const FrequencyRange r{false, 10.0, 300.0};
    for (bool linear : {true, false}) {
        const FrequencyAxis a(linear, 2048, 700, r);
        EXPECT_TRUE(a.ranged());
        EXPECT_NEAR(a.offset(10.0), 0, 1e-9);
        EXPECT_NEAR(a.offset(300.0), 700, 1e-9);
        EXPECT_TRUE(a.shows(10.0));
        EXPECT_FALSE(a.shows(300.0));
        EXPECT_FALSE(a.shows(9.9));
        for (double line : {12.5, 55.0, 299.0}) EXPECT_NEAR(a.line_at(a.offset(line)), line, 1e-9) << linear;
    }
    // Linear is proportional; log puts the geometric middle in the middle.
    EXPECT_NEAR(FrequencyAxis(true, 2048, 700, r).offset(155.0), 350, 1e-9);
    EXPECT_NEAR(FrequencyAxis(false, 2048, 700, r).offset(std::sqrt(10.0 * 300.0)), 350, 1e-9);
    // 0 Hz cannot start a log axis: it starts where the whole one does.
    const FrequencyAxis from_zero(false, 2048, 512, FrequencyRange{false, 0.0, 1024.0});
    EXPECT_NEAR(from_zero.offset(0.5), 0, 1e-9);
    EXPECT_FALSE(from_zero.shows(0.0));
}

class ChosenRange : public DisplayTest {};

TEST_F(ChosenRange, SettingsClipToTheSourceOrFallBackToTheWholeRange) {
    SetRate(44100);
    const double line_hz = 44100.0 / 4096;
    EXPECT_TRUE(dl::ChosenFrequencyRange(2048).whole);
    dl::Settings.freq_low = 50;
    dl::Settings.freq_high = 1500;
    FrequencyRange r = dl::ChosenFrequencyRange(2048);
    ASSERT_FALSE(r.whole);
    EXPECT_NEAR(r.low, 50 / line_hz, 1e-9);
    EXPECT_NEAR(r.high, 1500 / line_hz, 1e-9);
    // A high of 0, or above the Nyquist frequency, is the Nyquist frequency.
    for (int high : {0, 30000}) {
        dl::Settings.freq_high = high;
        r = dl::ChosenFrequencyRange(2048);
        ASSERT_FALSE(r.whole);
        EXPECT_NEAR(r.high, 2048, 1e-9);
    }
    // Nothing of the range left at this rate, or upside down: the whole range.
    dl::Settings.freq_low = 30000;
    EXPECT_TRUE(dl::ChosenFrequencyRange(2048).whole);
    dl::Settings.freq_low = 2000;
    dl::Settings.freq_high = 1000;
    EXPECT_TRUE(dl::ChosenFrequencyRange(2048).whole);
    SetRate(0);
    dl::Settings.freq_low = 50;
    dl::Settings.freq_high = 1500;
    EXPECT_TRUE(dl::ChosenFrequencyRange(2048).whole);
}

TEST(RoundFrequencies, LogStepsAreOneTwoFiveAndLinearAHandful) {
    std::vector<double> hz;
    std::vector<std::string> texts;
    for (const dl::RoundFrequency& f : dl::RoundFrequencies(50, 1500, true)) {
        hz.push_back(f.hz);
        texts.push_back(f.text);
    }
    EXPECT_EQ(hz, (std::vector<double>{50, 100, 200, 500, 1000}));
    EXPECT_EQ(texts, (std::vector<std::string>{"50", "100", "200", "500", "1k"}));
    // A narrow log range falls back to even steps, so it still has lines.
    const auto narrow = dl::RoundFrequencies(400, 600, true);
    EXPECT_GE(narrow.size(), 4u);
    const auto lin = dl::RoundFrequencies(200, 2000, false);
    ASSERT_GE(lin.size(), 5u);
    EXPECT_LE(lin.size(), 10u);
    const double step = lin[1].hz - lin[0].hz;
    for (size_t k = 1; k < lin.size(); ++k) EXPECT_NEAR(lin[k].hz - lin[k - 1].hz, step, 1e-9);
    EXPECT_EQ(lin.back().text, "1.8k");
    EXPECT_TRUE(dl::RoundFrequencies(500, 500, true).empty());
}

// The 50-1500 Hz log view: the 1 kHz grid line where the axis says, its "1k" centred on it, at
// scale 1 and 2 and with the layout units of a bigger font.
TEST_F(ChosenRange, OneKilohertzLineAndLabelWhereTheAxisSays) {
    struct Look {
        int cell_w, cell_h;
        double scale;
        int width = 512;
    };
    for (const Look look : {Look{8, 7, 1}, Look{8, 7, 2}, Look{16, 14, 1}, Look{8, 7, 1, 800}}) {
        Configure(look.width, look.cell_w, look.cell_h, look.scale);
        dl::Settings.display = 110;
        dl::Settings.graph = 117;
        dl::Settings.fftparam = 12;
        dl::Settings.freq_low = 50;
        dl::Settings.freq_high = 1500;
        const int bins = 2048;
        const FrequencyAxis axis = FrequencyAxis::OfView(bins);
        ASSERT_TRUE(axis.ranged());
        const int column = dl::GraphLeft() + int(axis.offset(1000 / (44100.0 / (2 * bins))));
        dl::Dc dc(*window);
        const std::vector<uint8_t> silent(bins, 255);
        dl::DrawLogSpectrum(dc, silent.data(), bins);
        const int y = dl::FrequencyAxisTop();
        dc.fill_rect(0, y, dl::WindowWidth, y + 2 * Y(), dl::kWhite);
        dc.set_text_color(dl::kBlack);
        dc.set_bk_color(dl::kWhite);
        dl::DrawLogFrequencyLabels(dc, 44, bins);

        EXPECT_EQ(At(column, Top() + 100), kGridDark) << look.scale;
        EXPECT_NE(At(column - 1, Top() + 100), kGridDark);
        EXPECT_NE(At(column + 1, Top() + 100), kGridDark);
        // The label's ink, in device pixels, around the line's middle.
        const double s = look.scale;
        int left = 1 << 30, right = -1;
        for (int dx = int((column - 3 * X()) * s); dx < int((column + 3 * X()) * s); ++dx)
            for (int dy = int(y * s); dy < int((y + 2 * Y()) * s); ++dy)
                if (window->device_pixel(dx, dy) != dl::kWhite) left = std::min(left, dx), right = std::max(right, dx);
        ASSERT_GE(right, 0) << "no label at 1 kHz";
        const double middle = (left + right + 1) / 2.0 / s, line_middle = column + 0.5;
        EXPECT_NEAR(middle, line_middle, X() / 2.0) << look.cell_w << " at scale " << s;
        EXPECT_GE(left / s, column - X());
        EXPECT_LE(right / s, column + X());
    }
}

TEST_F(ChosenRange, BarsAndTheirGridStayInsideTheRange) {
    dl::Settings.display = 109;
    dl::Settings.graph = 117;
    dl::Settings.futosa = 2;
    dl::Settings.freq_low = 1000;
    dl::Settings.freq_high = 2000;
    const int bins = 2048;
    std::vector<uint8_t> levels(bins, 255);
    const double line_hz = 44100.0 / (2 * bins);
    const int at1500 = int(std::lround(1500 / line_hz));
    levels[size_t(at1500)] = 100;
    levels[10] = 0;  // 215 Hz: outside the range, nowhere on the graph
    dl::Dc dc(*window);
    dl::DrawLinearSpectrum(dc, levels.data(), bins);
    const FrequencyAxis axis = FrequencyAxis::OfView(bins);
    const int c = dl::GraphLeft() + axis.column(at1500);
    EXPECT_EQ(At(c, Top() + 100), dl::kWhite);
    EXPECT_EQ(At(c, Top() + 99), dl::kBlack);
    // A fat bar covers its line's share of the zoomed axis, less a gap.
    const int share = int(W() / ((2000 - 1000) / line_hz));
    EXPECT_EQ(At(c + share - 2, Top() + 150), dl::kWhite);
    for (int x = dl::GraphLeft(); x < dl::GraphRight(); ++x) {
        if (x < c - 1 || x > c + share) {
            EXPECT_NE(At(x, Top() + 50), dl::kWhite) << x;
        }
    }
    // The grid's 1.5 kHz line is where the axis puts 1.5 kHz.
    EXPECT_EQ(At(dl::GraphLeft() + int(axis.offset(1500 / line_hz)), Top() + 50), kGridDark);
}

// A zoomed trace runs from edge to edge through the lines just outside the range, and nothing of it
// is drawn beside the graph.
TEST_F(ChosenRange, ATraceReachesBothEdgesOfTheRange) {
    for (int view : {109, 110}) {
        SCOPED_TRACE(view);
        Configure(512);
        dl::Settings.display = view;
        dl::Settings.graph = 116;  // the trace
        dl::Settings.freq_low = 50;
        dl::Settings.freq_high = 1500;
        const int bins = 2048;
        const std::vector<uint8_t> levels(bins, 100);
        dl::Dc dc(*window);
        dc.fill_rect(0, 0, window->width(), window->height(), dl::kBlack);
        if (view == 109)
            dl::DrawLinearSpectrum(dc, levels.data(), bins);
        else
            dl::DrawLogSpectrum(dc, levels.data(), bins);
        EXPECT_EQ(At(dl::GraphLeft(), Top() + 100), dl::kWhite);
        EXPECT_EQ(At(dl::GraphRight() - 1, Top() + 100), dl::kWhite);
        for (int y = Top(); y < dl::GraphBottom(); ++y) EXPECT_EQ(At(dl::GraphRight(), y), dl::kBlack) << y;
        // So do the holds, the second trace and the references.
        const std::vector<uint8_t> held(bins, 150);
        const dl::Rgb red = dl::rgb(0xFF0000);
        dl::DrawExtraTrace(dc, held.data(), bins, red);
        EXPECT_EQ(At(dl::GraphLeft(), Top() + 150), red);
        EXPECT_EQ(At(dl::GraphRight() - 1, Top() + 150), red);
        for (int y = Top(); y < dl::GraphBottom(); ++y) EXPECT_EQ(At(dl::GraphRight(), y), dl::kBlack) << y;
    }
}

TEST_F(ChosenRange, TheLevelRangeHoldsOnlyOnTheDecibelScaleAndInTheSpectrogram) {
    dl::Settings.db_top = -10;
    dl::Settings.db_span = 60;
    dl::Settings.display = 110;
    EXPECT_TRUE(dl::DecibelRangeOn(dl::AnalysisParamsOfSettings()));
    EXPECT_EQ(dl::RangeGridDecibels(), (std::vector<int>{-20, -30, -40, -50, -60}));
    EXPECT_NEAR(dl::DepthDecibels(255), -70, 1e-9);
    EXPECT_EQ(dl::DecibelsDepth(-40), 128);
    EXPECT_EQ(dl::DecibelsDepth(0), 0);
    EXPECT_EQ(dl::DecibelsDepth(-200), 255);
    dl::Settings.Decibel = false;
    EXPECT_FALSE(dl::DecibelRangeOn(dl::AnalysisParamsOfSettings()));
    dl::Settings.display = 112;
    EXPECT_TRUE(dl::DecibelRangeOn(dl::AnalysisParamsOfSettings())) << "the spectrogram's colours follow the range";
    dl::Settings.db_span = 0;
    EXPECT_FALSE(dl::DecibelRangeOn(dl::AnalysisParamsOfSettings()));
}

TEST_F(ChosenRange, SpectrogramRowsSpanTheRange) {
    dl::Settings.freq_low = 100;
    dl::Settings.freq_high = 1000;
    const int bins = 2048;
    const double line_hz = 44100.0 / (2 * bins);
    for (int height : {256, 400}) {
        dl::LayoutUnits.GraphHeight = height;
        EXPECT_EQ(dl::SpectrogramRow(100.5 / line_hz, bins), height - 1);
        EXPECT_EQ(dl::SpectrogramRow(999 / line_hz, bins), 0);
        EXPECT_NEAR(dl::SpectrogramBinAtRow(height / 2, bins) * line_hz, std::sqrt(100.0 * 1000.0), 10);
        EXPECT_FALSE(dl::SpectrogramShows(50 / line_hz, bins));
        EXPECT_TRUE(dl::SpectrogramShows(440 / line_hz, bins));
    }
}

}  // namespace
