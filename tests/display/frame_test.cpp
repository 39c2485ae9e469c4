#include <algorithm>

#include "display/display_fixture.h"
#include "display/layout.h"
#include "platform/system.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "support/test_support.h"

namespace {

using namespace dl_test;
using dl::Rgb;
using dl::rgb;

Rgb Face() { return dl::system_colour(dl::SysColour::ButtonFace); }

class Frame : public DisplayTest {
protected:
    void Draw() {
        dl::Dc dc(*window);
        dl::DrawFrame(dc);
    }
    // Pixels of the text band rows [y, y + 2Y) in columns [x0, x1) that are not the face colour.
    int InkIn(int x0, int x1, int y) const {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int yy = y; yy < y + 2 * Y(); ++yy) n += At(x, yy) != Face();
        return n;
    }
    // The label band as the given texts at the given positions would leave it.
    void ExpectLabelBand(const std::vector<std::pair<int, std::string>>& texts) {
        dl::Surface expected(window->width(), window->height());
        dl::Dc e(expected);
        e.fill_rect(0, 0, expected.width(), expected.height(), Face());
        e.set_text_color(dl::system_colour(dl::SysColour::ButtonText));
        e.set_bk_color(Face());
        for (const auto& [x, s] : texts) e.text_out(x, Top() + 260, s);
        for (int y = Top() + 260; y < 15 * Y() + 263; ++y)
            for (int x = 0; x < W() + 2 * X(); ++x)
                if (At(x, y) != expected.pixel(x, y)) {
                    const std::string dir = dl_test::temp_dir();
                    window->save_png(dir + "/label_band_actual.png");
                    expected.save_png(dir + "/label_band_expected.png");
                    FAIL() << "label band differs at " << x << "," << y << " (pictures in " << dir << ")";
                }
    }
};

TEST_F(Frame, ClearsTheGraphByScheme) {
    Draw();
    EXPECT_EQ(At(X() + 5, Top() + 5), dl::kBlack);
    EXPECT_EQ(At(X(), Top() - 2), Face());            // top margin
    EXPECT_EQ(At(X() + 3, Top() + 258), Face());      // bottom margin
    EXPECT_EQ(At(W() + X() + 2, Top() + 100), Face());  // right gutter
    dl::DarkScheme = false;
    Draw();
    EXPECT_EQ(At(X() + 5, Top() + 5), dl::kWhite);
}

TEST_F(Frame, BorderOnlyAgainstVeryDarkOrLightFaces) {
    EXPECT_EQ(dl::BorderForFace(192), dl::BorderChoice::None);
    EXPECT_EQ(dl::BorderForFace(dl::luma(dl::kBlack)), dl::BorderChoice::White);
    EXPECT_EQ(dl::BorderForFace(dl::luma(dl::kWhite)), dl::BorderChoice::Black);
    EXPECT_EQ(dl::BorderForFace(31), dl::BorderChoice::White);
    EXPECT_EQ(dl::BorderForFace(225), dl::BorderChoice::Black);
    // The palette's own face decides what the frame draws.
    Draw();
    const dl::BorderChoice c = dl::BorderForFace(dl::luma(Face()));
    const Rgb expected = c == dl::BorderChoice::White ? dl::kWhite : c == dl::BorderChoice::Black ? dl::kBlack : Face();
    EXPECT_EQ(At(X() - 1, Top() - 1), expected);
    EXPECT_EQ(At(X() + W(), Top() + 100), expected);
    EXPECT_EQ(At(X() + 100, Top() + 256), expected);
}

TEST_F(Frame, NoSourceDrawsOnlyTheClearedFrame) {
    dl::SourceInfo.khz = 0;
    dl::Settings.display = 109;
    Draw();
    EXPECT_EQ(InkIn(0, W() + 2 * X(), Top() + 260), 0);
    EXPECT_EQ(At(W() + 3 * X(), 12 * Y() + 2), Face());  // no amplitude scale
}

TEST_F(Frame, LinearLabelsAt44kAnd48k) {
    dl::Settings.display = 109;
    Draw();
    EXPECT_EQ(dl::SharedText, "22050 Hz");
    ExpectLabelBand({{4, "0"}, {504, "22050 Hz"}, {452, "20000"}, {336, "15000"}, {220, "10000"}, {108, "5000"}});
    SetRate(48000);
    Draw();
    EXPECT_EQ(dl::SharedText, "24000 Hz");
    ExpectLabelBand({{4, "0"}, {500, "24000 Hz"}, {244, "12000"}, {120, "6000"}, {372, "18000"}});
}

TEST_F(Frame, LinearLabelsOnTheWideGraph) {
    Configure(1024);
    dl::Settings.display = 109;
    Draw();
    ExpectLabelBand({{4, "0"}, {1016, "22050 Hz"}, {916, "20000"}, {684, "15000"}, {452, "10000"}, {224, "5000"}});
    SetRate(48000);
    Draw();
    ExpectLabelBand({{4, "0"}, {1012, "24000 Hz"}, {500, "12000"}, {248, "6000"}, {756, "18000"}});
}

TEST_F(Frame, LogLabelsAt44k) {
    dl::Settings.display = 110;
    dl::Settings.fftparam = 12;  // label spacing 42 px: plain numbers below 10 kHz
    Draw();
    const char* texts[] = {"20k", "10k", "5000", "2500", "1250", "625", "312", "156", "78", "39", "20", "9.8"};
    std::vector<std::pair<int, std::string>> expected{{W() + 4 * X() + 1, "Hz"}};
    double m = 20000;
    for (const char* t : texts) {
        const double o = 2048 * m / 22050;
        const int len = int(std::string(t).size());
        expected.push_back({int(X() + 512 * std::log(2 * o) / std::log(4096.0) - (len * X()) / 2), t});
        m /= 2;
    }
    ExpectLabelBand(expected);
    // Denser octaves switch to the thousands form: 32 px apart at N = 65536.
    dl::Settings.fftparam = 16;
    Draw();
    EXPECT_GT(InkIn(0, W(), Top() + 260), 0);
}

// At 48 kHz the lowest label's line lies at the graph's left edge: its text starts at the window's edge
// rather than being cut to ".9".
TEST_F(Frame, LogLabelsAt48kKeepTheLowestWhole) {
    SetRate(48000);
    dl::Settings.display = 110;
    dl::Settings.fftparam = 12;
    Draw();
    const char* texts[] = {"24k", "12k", "6000", "3000", "1500", "750", "375", "188", "94", "47", "23", "12", "5.9"};
    std::vector<std::pair<int, std::string>> expected{{W() + 4 * X() + 1, "Hz"}};
    double m = 24000;
    for (const char* t : texts) {
        const double o = 2048 * m / 24000;
        const int len = int(std::string(t).size());
        const int x = int(X() + 512 * std::log(2 * o) / std::log(4096.0) - (len * X()) / 2);
        expected.push_back({std::max(x, 0), t});
        m /= 2;
    }
    ASSERT_LT(int(X() - 3 * X() / 2), 0) << "the lowest label would start left of the window";
    ExpectLabelBand(expected);
}

TEST_F(Frame, NotPcmMessageOnlyForUnconvertedRunningSources) {
    dl::SourceState.running = true;
    dl::SourceInfo.format_tag = 0x55;
    Draw();
    int ink = 0;
    for (int x = 2 * X(); x < 40 * X(); ++x) ink += At(x, 14 * Y() + 7) != dl::kBlack;
    EXPECT_GT(ink, 20);
    dl::SourceInfo.format_tag = 1;
    Draw();
    ink = 0;
    for (int x = 2 * X(); x < 40 * X(); ++x) ink += At(x, 14 * Y() + 7) != dl::kBlack;
    EXPECT_EQ(ink, 0);
}

TEST_F(Frame, SidePanelLayouts) {
    dl::Settings.ColorScale = 1;
    dl::Settings.graph = 117;
    dl::Settings.display = 110;
    // 512 wide with an 8-pixel font: the legend covers the scale column from 22Y down.
    Draw();
    dl::SidePanel p = dl::SidePanelGeometry();
    EXPECT_EQ(p.x0, W() + 2 * X());
    EXPECT_EQ(p.y0, 22 * Y());
    EXPECT_EQ(At(p.x0 + 7 * X() - 1, 22 * Y() + 1), dl::kBlack);
    EXPECT_EQ(At(p.x0 + X() + 1, 23 * Y() + 1), rgb(0xFF0000));  // doh swatch
    EXPECT_EQ(At(p.x0 + 7 * X() - 1, 21 * Y()), Face());
    // A 10-pixel font puts it right of the scale column.
    Configure(512, 10, 8);
    dl::Settings.ColorScale = 1;
    dl::Settings.graph = 117;
    dl::Settings.display = 110;
    Draw();
    p = dl::SidePanelGeometry();
    EXPECT_EQ(p.x0, W() + 11 * X());
    EXPECT_EQ(p.y0, 13 * Y());
    EXPECT_EQ(At(p.x0 + X() + 1, 14 * Y() + 1), rgb(0xFF0000));
    // The wide graph puts it at the top right, above the graph, in two columns.
    Configure(1024);
    dl::Settings.ColorScale = 1;
    dl::Settings.graph = 117;
    dl::Settings.display = 109;
    Draw();
    p = dl::SidePanelGeometry();
    EXPECT_EQ(p.x0, dl::WindowWidth - 15 * X());
    EXPECT_EQ(p.y0, 0);
    EXPECT_EQ(At(p.x0 + X() + 1, Y() + 1), rgb(0xFF0000));
    EXPECT_EQ(At(p.x0 + 8 * X() + 1, Y() + 1), rgb(0x0000FF));  // soh heads the second column
    EXPECT_EQ(At(p.x0 + 14 * X() - 1, 12 * Y() - 1), dl::kBlack);
    // Without the legend the panel is plain face.
    dl::Settings.ColorScale = 0;
    Draw();
    EXPECT_EQ(At(p.x0 + X() + 1, Y() + 1), Face());
}

TEST_F(Frame, SurfaceFollowsUseMemDcAndTheGraphWidth) {
    dl::Settings.UseMemDC = 0;
    dl::PrepareDisplayResources();
    EXPECT_EQ(dl::DrawSurfaceStore.dc, nullptr);
    EXPECT_EQ(dl::DrawSurface, nullptr);
    dl::Settings.UseMemDC = 1;
    dl::PrepareDisplayResources();
    ASSERT_NE(dl::DrawSurfaceStore.surface, nullptr);
    EXPECT_EQ(dl::DrawSurface, dl::DrawSurfaceStore.dc.get());
    EXPECT_EQ(dl::DrawSurfaceStore.surface->width(), 600);
    EXPECT_EQ(dl::DrawSurfaceStore.surface->height(), 16 * 7 + 260);
    EXPECT_EQ(dl::DrawSurfaceStore.surface->pixel(2, 2), dl::kBlack);
    EXPECT_EQ(dl::DrawSurfaceStore.surface->pixel(X() + 3, Top() + 3), dl::kBlack);  // dark scheme graph
    // Maximise and restore rebuild it at the new window width.
    dl::LayoutUnits.GraphWidth = 1024;
    dl::ResizeDrawSurface();
    EXPECT_EQ(dl::WindowWidth, dl::compute_window_width(1024, 8, dl::screen_width()));
    EXPECT_EQ(dl::DrawSurfaceStore.surface->width(), dl::WindowWidth + X());
    dl::LayoutUnits.GraphWidth = 512;
    dl::DarkScheme = false;
    dl::ResizeDrawSurface();
    EXPECT_EQ(dl::DrawSurfaceStore.surface->width(), dl::WindowWidth + X());
    EXPECT_EQ(dl::DrawSurfaceStore.surface->pixel(X() + 3, Top() + 3), dl::kWhite);
    EXPECT_EQ(dl::DrawSurfaceStore.surface->pixel(2, 2), dl::kBlack);
    dl::Settings.UseMemDC = 0;
    dl::PrepareDisplayResources();
    EXPECT_EQ(dl::DrawSurfaceStore.surface, nullptr);
    EXPECT_EQ(dl::DrawSurface, nullptr);
}

TEST_F(Frame, WorkArraysAndNoteReference) {
    dl::Settings.fftparam = 10;
    dl::Settings.ColourScaleKey = 0;
    dl::PrepareDisplayResources();
    ASSERT_NE(dl::RunAnalyser.work.re, nullptr);
    EXPECT_EQ(dl::RunAnalyser.work.n, 1024);
    EXPECT_GE(dl::RunAnalyser.work.im - dl::RunAnalyser.work.re, 1024);
    dl::RunAnalyser.work.re[1023] = 1;
    dl::RunAnalyser.work.im[1023] = 2;  // both whole arrays are usable
    EXPECT_DOUBLE_EQ(dl::NoteReference, 1760.0);
    dl::Settings.ColourScaleKey = 3;
    dl::PrepareDisplayResources();
    EXPECT_NEAR(dl::NoteReference, 1760.0 * std::pow(2.0, 3.0 / 12), 1e-9);
    EXPECT_NEAR(dl::NoteReference, 2093.0, 0.1);
}

TEST_F(Frame, WorkArraysThatCannotBeHadEndTheProcess) {
    MessageBoxCapture boxes;
    EndProcessCapture ends;
    dl::Settings.fftparam = 40;
    try {
        dl::PrepareDisplayResources();
        FAIL() << "the process should have ended";
    } catch (const ProcessEnded& e) {
        EXPECT_EQ(e.code, 1);
    }
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], "nomem");
}

TEST_F(Frame, SurfaceTextGoesThroughTheSurfaceOrigin) {
    dl::Settings.UseMemDC = 1;
    dl::PrepareDisplayResources();
    dl::Dc& s = *dl::DrawSurface;
    s.set_text_color(dl::kWhite);
    s.set_bk_color(dl::kBlack);
    dl::DrawSurfaceText(s, 100, Top() + 50, "-96", 3);
    dl::Surface direct(600, 372);
    dl::Dc d(direct);
    d.set_text_color(dl::kWhite);
    d.set_bk_color(dl::kBlack);
    d.text_out(100, Top() + 50, "-96");
    int ink = 0;
    for (int y = Top() + 50; y < Top() + 50 + 2 * Y(); ++y)
        for (int x = 100; x < 124; ++x) {
            EXPECT_EQ(dl::DrawSurfaceStore.surface->pixel(x, y), direct.pixel(x, y)) << x << "," << y;
            ink += direct.pixel(x, y) == dl::kWhite;
        }
    EXPECT_GT(ink, 10);
}

}  // namespace
