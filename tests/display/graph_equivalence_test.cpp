// The column-reduced graph drawing must leave exactly the pixels of drawing every bin in order.
#include <random>

#include "display/display_fixture.h"
#include "display/graph_reference.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/view.h"
#include "support/test_support.h"

namespace {

using namespace dl_test;

class GraphEquivalence : public DisplayTest {
protected:
    // Draws with the program's routine and with the reference on two fresh windows and compares.
    void Check(int view, const std::vector<uint8_t>& levels, const std::string& what, dl::Rgb pen = dl::kBlack) {
        // Each case sets the settings by hand: said as the program's own changes say it.
        dl::NoteSettingsChanged();
        const int B = int(levels.size());
        dl::Surface fast(dl::WindowWidth + X(), 16 * Y() + 260), slow(dl::WindowWidth + X(), 16 * Y() + 260);
        dl::Dc a(fast), b(slow);
        a.select_pen(pen);
        b.select_pen(pen);
        if (view == 109) {
            dl::DrawLinearSpectrum(a, levels.data(), B);
            ReferenceLinear(b, levels.data(), B);
        } else {
            dl::DrawLogSpectrum(a, levels.data(), B);
            ReferenceLog(b, levels.data(), B);
        }
        if (!fast.same_pixels(slow)) {
            const std::string dir = dl_test::temp_dir();
            fast.save_png(dir + "/mismatch_fast.png");
            slow.save_png(dir + "/mismatch_slow.png");
            ADD_FAILURE() << "pictures differ: " << what << " (pictures in " << dir << ")";
        }
    }
};

TEST_F(GraphEquivalence, EveryStyleAndSizeMatchesDrawingEachBin) {
    int failures = 0;
    for (int width : {512, 1024}) {
        for (int p : {8, 9, 10, 12, 13}) {
            for (int view : {109, 110}) {
                for (int style = 0; style < 6; ++style) {
                    for (bool dark : {true, false}) {
                        Configure(width);
                        dl::DarkScheme = dark;
                        dl::Settings.fftparam = p;
                        dl::Settings.display = view;
                        dl::Settings.graph = style < 2 ? 116 : 117;
                        dl::Settings.futosa = style % 2 ? 2 : 1;
                        dl::Settings.ColorScale = style >= 4;
                        SetRate(p == 12 ? 48000 : 44100);
                        const std::string what = "W=" + std::to_string(width) + " p=" + std::to_string(p) +
                                                 " view=" + std::to_string(view) + " style=" + std::to_string(style) +
                                                 " dark=" + std::to_string(dark);
                        Check(view, Levels(1 << (p - 1), uint32_t(p * 7 + style)), what);
                        if (HasFailure() && ++failures > 3) return;
                    }
                }
            }
        }
    }
}

TEST_F(GraphEquivalence, ExtremeAndStructuredLevels) {
    const int B = 4096;
    std::vector<std::vector<uint8_t>> cases;
    cases.emplace_back(B, 255);  // silence
    cases.emplace_back(B, 0);    // full scale everywhere
    std::vector<uint8_t> saw(B), alternate(B), random(B);
    std::mt19937 gen(5);
    for (int i = 0; i < B; ++i) {
        saw[i] = uint8_t(i % 256);
        alternate[i] = i % 2 ? 0 : 255;
        random[i] = uint8_t(gen());
    }
    cases.push_back(saw);
    cases.push_back(alternate);
    cases.push_back(random);
    for (int width : {512, 1024}) {
        for (int view : {109, 110}) {
            for (int style = 0; style < 6; ++style) {
                for (size_t k = 0; k < cases.size(); ++k) {
                    Configure(width);
                    dl::Settings.fftparam = 13;
                    dl::Settings.graph = style < 2 ? 116 : 117;
                    dl::Settings.futosa = style % 2 ? 2 : 1;
                    dl::Settings.ColorScale = style >= 4;
                    Check(view, cases[k], "case " + std::to_string(k) + " style " + std::to_string(style) + " view " +
                                              std::to_string(view) + " W " + std::to_string(width));
                }
            }
        }
    }
}

TEST_F(GraphEquivalence, LargestTransformAndNarrowFont) {
    Configure(1024, 6, 6);
    for (int style = 0; style < 6; ++style) {
        dl::Settings.fftparam = 16;
        dl::Settings.graph = style < 2 ? 116 : 117;
        dl::Settings.futosa = style % 2 ? 2 : 1;
        dl::Settings.ColorScale = style >= 4;
        dl::Settings.Decibel = style % 3 != 0;
        dl::Settings.Expand = style % 3 == 2;
        Check(109, Levels(32768, 3), "linear 65536 style " + std::to_string(style));
        Check(110, Levels(32768, 4), "log 65536 style " + std::to_string(style));
    }
}

TEST_F(GraphEquivalence, LabelsInsideTheGraphAndOffScreenText) {
    // Labels are drawn inside the graph when the scale column has no room or the colour legend
    // covers it, directly or through the text corner of the off-screen surface; in the light
    // scheme the trace takes whatever pen the context holds.
    int failures = 0;
    for (int width : {512, 1024}) {
        for (int scale = 0; scale < 3; ++scale) {
            for (int style = 0; style < 6; ++style) {
                for (int view : {109, 110}) {
                    Configure(width);
                    dl::LayoutUnits.WindowWidth = 2 * X() + width;  // a screen too narrow for the scale column
                    dl::DarkScheme = (style + scale) % 2 == 0;
                    dl::Settings.UseMemDC = (style + view) % 2;
                    dl::Settings.Decibel = scale != 0;
                    dl::Settings.Expand = scale == 2 || style == 1;
                    dl::Settings.katamuki = style % 3 == 0;
                    dl::Settings.fftparam = 12;
                    dl::Settings.graph = style < 2 ? 116 : 117;
                    dl::Settings.futosa = style % 2 ? 2 : 1;
                    dl::Settings.ColorScale = style >= 4;
                    const std::string what = "W=" + std::to_string(width) + " scale=" + std::to_string(scale) +
                                             " style=" + std::to_string(style) + " view=" + std::to_string(view);
                    Check(view, Levels(2048, uint32_t(style + 3 * scale)), what, dl::rgb(0x2040A0));
                    if (HasFailure() && ++failures > 3) return;
                }
            }
        }
    }
}

}  // namespace
