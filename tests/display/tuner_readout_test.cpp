// The tuner read-out on the window while a tone plays: where it stands, its needle, what it leaves
// behind, in English and Japanese, light and dark, at scale 1 and 2. With DEWLARK_PICTURES naming a
// folder the windows are written there as PNG files to look at.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "analysis/pitch.h"
#include "display/analysis_settings.h"
#include "display/frame.h"
#include "display/pipeline_fixture.h"
#include "analysis/pitch_signals.h"
#include "display/present_block.h"
#include "display/tuner_readout.h"
#include "display/window_paint.h"
#include "measure_with_settings.h"
#include "platform/font.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"

namespace dl_test {
namespace {

using namespace pitch_signals;

class TunerTest : public AnalysisTest {
protected:
    void TearDown() override {
        dl::Font::use_japanese_stock_font(false);
        AnalysisTest::TearDown();
    }

    // A window of the given look, painted, then `ticks` blocks of a tone (0 Hz: silence) analysed
    // and drawn on it as playback draws them.
    void play(bool japanese, bool dark, double scale, double hz, int ticks = 3, int view = 110, bool tuner = true,
              bool memdc = false, double stiffness = 0) {
        dl::JapaneseUi = japanese;
        dl::Font::use_japanese_stock_font(japanese);
        dl::measure_layout_units();
        dl::LayoutUnits.GraphWidth = 512;
        dl::LayoutUnits.WindowWidth = dl::compute_window_width(512, dl::CellWidth, 1920);
        picture_ = std::make_unique<dl::Surface>(dl::WindowWidth, dl::client_height(), scale);
        dl::WindowSurface = picture_.get();
        dl::DarkScheme = dark;
        dl::Settings.tuner = tuner;
        dl::Settings.freqnum = 4;
        dl::Settings.use_onmei = 2;
        dl::Settings.precise_peaks = 1;
        dl::Settings.display = view;
        dl::Settings.fftparam = 12;
        dl::Settings.UseMemDC = memdc;
        dl::PrepareDisplayResources();  // the flicker-free surface, when asked for
        use_work_arrays(4096);
        dl::SourceInfo.sample_rate = 44100;
        dl::SourceInfo.khz = 44;
        dl::SourceState.mode = dl::SourceMode::File;
        dl::SourceState.running = true;
        dl::Dc dc(*picture_);
        dl::PaintClientArea(dc);
        dc_ = std::make_unique<dl::Dc>(*picture_);
        dl::ResetPitchHistory(dl::RunAnalyser);
        const std::vector<int16_t> pcm = stiffness > 0 ? to_pcm16(stiff_string(hz, stiffness, 44100, 0.19 * ticks))
                                         : hz > 0      ? to_pcm16(harmonic_tone(hz, 44100, 0.19 * ticks, 1.0, 6))
                                                       : std::vector<int16_t>(size_t(8192 * ticks), 0);
        for (int t = 0; t < ticks; ++t) {
            std::vector<int> s(pcm.begin() + t * 8192, pcm.begin() + (t + 1) * 8192);
            block_ = pcm16(s);
            dl::SampleBuffers[0] = block_.data();
            dl::PresentBlock(dc, dl_test::MeasureWithSettings(block_.data(), uint32_t(block_.size()), t * 8192 / 44100.0),
                             dl::AnalysisPurpose::Both);
        }
        dl::SampleBuffers[0] = nullptr;
        if (const char* dir = std::getenv("DEWLARK_PICTURES"); dir && *dir) {
            const std::string name = std::string(dir) + "/tuner_" + (japanese ? "ja" : "en") + (dark ? "_dark" : "_light") +
                                     (scale > 1 ? "_x2" : "_x1") + "_" + std::to_string(int(hz)) + "Hz_view" + std::to_string(view) +
                                     (tuner ? "" : "_off") + (stiffness > 0 ? "_stiff" : "") + "_partial" +
                                     std::to_string(dl::Settings.tuner_partial) + ".png";
            picture_->save_png(name);
        }
    }

    // A logical pixel, read at its device pixel.
    dl::Rgb at(int x, int y) const {
        const double s = picture_->scale();
        return picture_->device_pixel(int(x * s), int(y * s));
    }

    std::unique_ptr<dl::Surface> picture_;
};

TEST_F(TunerTest, ANoteTwelveCentsSharpShowsItsNameAndAnAmberNeedle) {
    const double sharp = 440 * std::pow(2, 12 / 1200.0);
    for (bool japanese : {false, true}) {
        for (bool dark : {false, true}) {
            for (double scale : {1.0, 2.0}) {
                play(japanese, dark, scale, sharp);
                const dl::BlockAnalysis& a = dl::RunAnalyser.result;
                ASSERT_TRUE(a.f0_voiced);
                EXPECT_EQ(a.f0_note, "A4");
                EXPECT_EQ(dl::TunerCentsText(a.f0_cents), "+12");
                const dl::TunerRecord& t = dl::Tuner;
                ASSERT_TRUE(t.shown);
                // Over the graph's top-left corner, framed in grey, on the scheme's background.
                EXPECT_EQ(t.left, dl::CellWidth + 1);
                EXPECT_EQ(t.top, 13 * dl::CellHeight + 1);
                EXPECT_EQ(at(t.left, t.top + t.height / 2), (dl::Rgb{128, 128, 128}));
                const dl::Rgb back = dark ? dl::kBlack : dl::kWhite;
                EXPECT_EQ(at(t.left + 2, t.top + t.height - 2), back);
                // The needle: amber, 12/50 of the way to the scale's right end.
                const int mid = t.left + t.width / 2, half = t.width / 2 - 2 * dl::CellWidth, y = t.top + 8 * dl::CellHeight;
                const int x = mid + dl::TunerNeedleOffset(a.f0_cents, half);
                EXPECT_EQ(x - mid, int(std::lround(12.0 / 50 * half)));
                const dl::Rgb amber = dark ? dl::Rgb{240, 180, 0} : dl::Rgb{190, 120, 0};
                EXPECT_EQ(at(x, y - dl::CellHeight), amber) << japanese << dark << scale;
                EXPECT_NE(at(mid - half / 2 - 3, y - dl::CellHeight), amber);
            }
        }
    }
}

TEST_F(TunerTest, SilenceShowsNoNeedleAndHidingGivesTheGraphBack) {
    play(false, true, 1, 0);
    const dl::TunerRecord& t = dl::Tuner;
    ASSERT_TRUE(t.shown);
    EXPECT_FALSE(dl::RunAnalyser.result.f0_voiced);
    const int mid = t.left + t.width / 2, y = t.top + 8 * dl::CellHeight;
    EXPECT_EQ(at(mid + 3, y - dl::CellHeight), dl::kBlack);  // nothing where a needle would be

    // The tuning meter scrolls its notes up under the read-out: taken off before each tick and at
    // the end, it leaves the very window a run without it draws.
    play(false, true, 1, 440, 6, 111, false);
    const std::unique_ptr<dl::Surface> bare = std::move(picture_);
    play(false, true, 1, 440, 6, 111, true);
    EXPECT_FALSE(picture_->same_pixels(*bare));
    dl::HideTunerReadout(*dc_);
    EXPECT_FALSE(dl::Tuner.shown);
    EXPECT_TRUE(picture_->same_pixels(*bare));

    // Flicker-free: composed on the surface with the graph and copied to the window with it; the
    // menu's switch takes it off both at once.
    play(false, true, 1, 440, 6, 111, true, true);
    ASSERT_TRUE(dl::Tuner.shown);
    EXPECT_EQ(at(dl::Tuner.left, dl::Tuner.top + 20), (dl::Rgb{128, 128, 128}));
    dl::Settings.tuner = 0;
    dl::RedrawTunerReadout(dl::RunAnalyser.result);
    EXPECT_FALSE(dl::Tuner.shown);
    EXPECT_TRUE(picture_->same_pixels(*bare));
    dl::Settings.tuner = 1;
    dl::RedrawTunerReadout(dl::RunAnalyser.result);
    EXPECT_EQ(at(dl::Tuner.left, dl::Tuner.top + 20), (dl::Rgb{128, 128, 128}));
}

TEST_F(TunerTest, TheReferenceIsNamedWhenItIsNotTheUsualOne) {
    play(false, false, 1, 442);
    const dl::TunerRecord& t = dl::Tuner;
    auto corner = [&] {
        int dark_pixels = 0;
        for (int x = t.left + t.width / 2; x < t.left + t.width - 2; ++x)
            for (int y = t.top + 11 * dl::CellHeight - 1; y < t.top + 13 * dl::CellHeight - 1; ++y)
                dark_pixels += at(x, y) != dl::kWhite;
        return dark_pixels;
    };
    EXPECT_EQ(corner(), 0);  // at 440 Hz nothing is said of it
    dl::Settings.reference_a4 = 4420;
    play(false, false, 1, 442);
    EXPECT_GT(corner(), 20);  // "A4=442.0"
    EXPECT_EQ(dl::RunAnalyser.result.f0_note, "A4");
    EXPECT_EQ(dl::TunerCentsText(dl::RunAnalyser.result.f0_cents), "+0");
}

// A piano tuner's choice: the read-out names the partial chosen, with a stiff string's partials as
// sharp as they sound, says which partial it reads and how stiff the string is.
TEST_F(TunerTest, TheChosenPartialIsReadAndAStiffStringsInharmonicityShown) {
    // The pixels that are not the background on the bottom line, left (the partial) or right (B).
    auto said = [&](bool right) {
        const dl::TunerRecord& t = dl::Tuner;
        int pixels = 0;
        const int from = right ? t.left + t.width / 2 : t.left + 2, to = right ? t.left + t.width - 2 : t.left + t.width / 2;
        for (int x = from; x < to; ++x)
            for (int y = t.top + 13 * dl::CellHeight - 1; y < t.top + t.height - 1; ++y) pixels += at(x, y) != dl::kWhite;
        return pixels;
    };
    play(false, false, 1, 110);
    EXPECT_EQ(dl::ReadTuner(dl::RunAnalyser.result).note, "A2");
    EXPECT_EQ(said(false) + said(true), 0) << "the fundamental of a harmonic note: nothing more is said";

    dl::Settings.tuner_partial = 2;
    play(false, false, 1, 110);
    dl::TunerReading r = dl::ReadTuner(dl::RunAnalyser.result);
    EXPECT_EQ(r.note, "A3");
    EXPECT_EQ(dl::TunerCentsText(r.cents), "+0");
    EXPECT_NEAR(r.frequency, 220, 0.05);
    EXPECT_GT(said(false), 20) << "\"partial 2\"";
    EXPECT_EQ(said(true), 0) << "a harmonic note has no B";

    // B = 0.0004, first partial 110 Hz: the fourth partial reads A4 +5, and B is shown.
    dl::Settings.tuner_partial = 4;
    play(false, false, 1, 110, 3, 110, true, false, 0.0004);
    r = dl::ReadTuner(dl::RunAnalyser.result);
    ASSERT_TRUE(r.voiced);
    EXPECT_NEAR(r.inharmonicity, 0.0004, 0.00004);
    EXPECT_EQ(r.note, "A4");
    EXPECT_EQ(dl::TunerCentsText(r.cents), "+5");
    EXPECT_GT(said(false), 20) << "\"partial 4\"";
    EXPECT_GT(said(true), 20) << "\"B=0.0004x\"";
    dl::Settings.tuner_partial = 1;
    dl::RedrawTunerReadout(dl::RunAnalyser.result);
    r = dl::ReadTuner(dl::RunAnalyser.result);
    EXPECT_EQ(r.note, "A2");
    EXPECT_EQ(dl::TunerCentsText(r.cents), "+0") << "the first partial, not the sharper mean of the partials";
    EXPECT_EQ(said(false), 0);
    EXPECT_GT(said(true), 20) << "B is shown whatever the partial";

    // Between blocks a picture shows what the last block read, B included.
    const dl::BlockAnalysis picture =
        dl_test::MeasureWithSettings(block_.data(), uint32_t(block_.size()), 0.5, dl::AnalysisPurpose::PictureOnly);
    EXPECT_NEAR(picture.f0_inharmonicity, 0.0004, 0.00004);
}

}  // namespace
}  // namespace dl_test
