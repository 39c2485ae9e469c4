// The meter strip under the graph while tones play: each ballistic on the dB scale, the figures,
// the loudness and its reset, in English and Japanese, light and dark, at scale 1 and 2. With
// DEWLARK_PICTURES naming a folder the windows are written there as PNG files to look at.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "analysis/meter_strip.h"
#include "analysis/pipeline.h"
#include "display/analysis_settings.h"
#include "display/meter_strip.h"
#include "display/pipeline_fixture.h"
#include "display/window_paint.h"
#include "platform/font.h"
#include "state/analysis.h"

namespace dl_test {
namespace {

constexpr double kRate = 44100;

class MeterStripTest : public AnalysisTest {
protected:
    void TearDown() override {
        dl::Font::use_japanese_stock_font(false);
        AnalysisTest::TearDown();
    }

    // A window of the given look with the strip (and the loudness), painted.
    void open_window(bool japanese, bool dark, double scale, int ballistics) {
        dl::JapaneseUi = japanese;
        dl::Font::use_japanese_stock_font(japanese);
        dl::Settings.level_meter = dl::kMeterStripLoudness;
        dl::Settings.meter_ballistics = ballistics;
        dl::Settings.PeakHold = 1;
        dl::measure_layout_units();
        dl::LayoutUnits.GraphWidth = 512;
        dl::LayoutUnits.WindowWidth = dl::compute_window_width(512, dl::CellWidth, 1920);
        picture_ = std::make_unique<dl::Surface>(dl::WindowWidth, dl::client_height(), scale);
        dl::WindowSurface = picture_.get();
        dl::DarkScheme = dark;
        dl::PrepareDisplayResources();
        use_work_arrays(4096);
        dl::SourceInfo.ChannelLayout = 3;  // stereo, 16 bits
        dl::SourceInfo.khz = 44;
        dl::SourceState.mode = dl::SourceMode::File;
        dl::SourceState.running = true;
        dl::ResetMeterStrip(dl::RunAnalyser.meters);
        dc_ = std::make_unique<dl::Dc>(*picture_);
        dl::PaintClientArea(*dc_);
    }

    // `seconds` of a 1 kHz sine at `left` and `right` dBFS analysed and drawn block by block.
    void play(double left, double right, double seconds) {
        const int frames = 4096, blocks = int(std::lround(seconds * kRate / frames));
        const double a = std::pow(10.0, left / 20) * 32767, b = std::pow(10.0, right / 20) * 32767;
        for (int k = 0; k < blocks; ++k) {
            std::vector<int> s;
            for (int i = 0; i < frames; ++i) {
                const double x = std::sin(2 * M_PI * 1000 * double(played_ + i) / kRate);
                s.push_back(int(std::lround(a * x)));
                s.push_back(int(std::lround(b * x)));
            }
            played_ += frames;
            tick(pcm16(s));
        }
    }

    void save(const std::string& name) const {
        if (const char* dir = std::getenv("DEWLARK_PICTURES"); dir && *dir) picture_->save_png(std::string(dir) + "/" + name + ".png");
    }

    dl::Rgb at(int x, int y) const {
        const double s = picture_->scale();
        return picture_->device_pixel(int(x * s), int(y * s));
    }
    // The middle of a bar row, where it is lit or dim.
    int bar_y(const dl::MeterStripLayout& g, int row) const { return g.row(row) + dl::CellHeight; }

    std::unique_ptr<dl::Surface> picture_;
    long played_ = 0;
};

// A steady tone reads its level on every ballistic: the bar lit up to it and dim beyond, the peak
// and RMS figures (RMS as a sine reads it), in every look.
TEST_F(MeterStripTest, EveryBallisticReadsASteadyToneOnTheScale) {
    struct Look {
        bool japanese, dark;
        double scale;
        int ballistics;
    };
    std::vector<Look> looks;
    for (int b = 0; b < dl::kBallisticsCount; ++b) looks.push_back({false, false, 1, b});
    for (bool japanese : {false, true})
        for (bool dark : {false, true})
            for (double scale : {1.0, 2.0}) looks.push_back({japanese, dark, scale, int(dl::Ballistics::PpmTypeIIb)});
    for (const Look& l : looks) {
        SCOPED_TRACE(testing::Message() << "japanese " << l.japanese << " dark " << l.dark << " scale " << l.scale
                                        << " ballistics " << l.ballistics);
        played_ = 0;
        open_window(l.japanese, l.dark, l.scale, l.ballistics);
        play(-12, -30, 1.5);
        const dl::MeterStripReading& r = dl::RunAnalyser.result.strip;
        ASSERT_TRUE(r.bars);
        ASSERT_EQ(r.channels, 2);
        EXPECT_NEAR(r.channel[0].bar, -12, 0.3);
        EXPECT_NEAR(r.channel[1].bar, -30, 0.3);
        EXPECT_NEAR(r.channel[0].peak, -12, 0.05);
        EXPECT_NEAR(r.channel[0].rms, -12, 0.05);
        EXPECT_NEAR(r.channel[1].rms, -30, 0.05);
        const dl::MeterStripLayout g = dl::MeterStripGeometry();
        // -12 dB is in the yellow zone, -30 in the green one.
        EXPECT_EQ(at(dl::MeterStripX(g, -13.5), bar_y(g, 0)), dl::rgb(0xFFFF00));
        EXPECT_EQ(at(dl::MeterStripX(g, -9), bar_y(g, 0)), dl::rgb(0x606000));
        EXPECT_EQ(at(dl::MeterStripX(g, -31.5), bar_y(g, 1)), dl::rgb(0x00FF00));
        EXPECT_EQ(at(dl::MeterStripX(g, -27), bar_y(g, 1)), dl::rgb(0x006000));
        EXPECT_EQ(dl::MeterFigure(r.channel[0].peak), "-12.0");
        save(std::string("strip_") + (l.japanese ? "ja" : "en") + (l.dark ? "_dark" : "_light") +
             (l.scale > 1 ? "_x2" : "_x1") + "_ballistics" + std::to_string(l.ballistics));
    }
}

// The loudness runs from the start of the run; a reset starts it again at once, so that the level
// after it is measured alone, while the bars go on. Sound a block repeats is measured once.
TEST_F(MeterStripTest, TheLoudnessRunsFromTheStartOrTheLastReset) {
    open_window(false, true, 1, int(dl::Ballistics::SamplePeak));
    play(-20, -20, 3.5);
    const dl::LoudnessReading& l = dl::RunAnalyser.result.strip.loudness;
    ASSERT_TRUE(l.measured);
    EXPECT_TRUE(l.momentary_ready && l.short_term_ready);
    EXPECT_NEAR(l.momentary, -20, 0.1);
    EXPECT_NEAR(l.short_term, -20, 0.1);
    EXPECT_NEAR(l.integrated, -20, 0.1);
    EXPECT_NEAR(l.true_peak, -20, 0.2);
    const double seconds = l.seconds;
    EXPECT_NEAR(seconds, 3.5, 0.1);
    save("strip_en_dark_x1_loudness");

    // The same block again, as a tick that reads part of the last one again: not measured twice.
    const std::vector<uint8_t> again = block_;
    dl::MeterStripReading repeat;
    dl::MeterBlock(dl::AnalysisParamsOfSettings(), dl::RunAnalyser.meters, again.data(), uint32_t(again.size()), uint64_t(played_ - 4096) * 4,
                   repeat);
    EXPECT_DOUBLE_EQ(repeat.loudness.seconds, seconds);

    dl::ResetLoudness(dl::AnalysisParamsOfSettings(), dl::RunAnalyser.meters);
    EXPECT_EQ(dl::RunAnalyser.meters.last.loudness.seconds, 0);
    EXPECT_FALSE(dl::RunAnalyser.meters.last.loudness.momentary_ready);
    EXPECT_EQ(dl::RunAnalyser.meters.last.channel[0].peak, dl::kSilentDb);
    play(-30, -30, 1.0);
    const dl::LoudnessReading& after = dl::RunAnalyser.result.strip.loudness;
    EXPECT_NEAR(after.integrated, -30, 0.1);  // not a mean with the louder part before
    EXPECT_NEAR(after.true_peak, -30, 0.2);
    EXPECT_FALSE(after.short_term_ready);
    EXPECT_NEAR(dl::RunAnalyser.result.strip.channel[0].peak, -30, 0.05);

    // A new run starts everything from silence.
    dl::ResetMeterStrip(dl::RunAnalyser.meters);
    play(-25, -25, 0.5);
    EXPECT_NEAR(dl::RunAnalyser.result.strip.loudness.seconds, 0.5, 0.1);
}

// Without the strip (the default, and a settings file from before it) nothing is metered or drawn:
// the window is the one the peak meter alone gives.
TEST_F(MeterStripTest, ThePeakMeterAloneDrawsNoStrip) {
    open_window(false, false, 1, 0);
    dl::Settings.level_meter = dl::kMeterPeakAlone;
    EXPECT_EQ(dl::MeterStripHeight(), 0);
    EXPECT_FALSE(dl::MeterStripWanted(dl::AnalysisParamsOfSettings()));
    play(-12, -12, 0.3);
    EXPECT_FALSE(dl::RunAnalyser.result.strip.bars);
    EXPECT_FALSE(dl::RunAnalyser.meters.configured);
    EXPECT_FALSE(dl::InMeterStrip(dl::WindowWidth / 2, dl::MeterStripTop() + dl::CellHeight));
}

}  // namespace
}  // namespace dl_test
