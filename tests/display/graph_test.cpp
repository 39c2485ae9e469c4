#include "display/display_fixture.h"

#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/view.h"


namespace {

using namespace dl_test;
using dl::Rgb;
using dl::rgb;

const Rgb kGridDark = rgb(0x808080);

class Graph : public DisplayTest {
protected:
    void Linear(const std::vector<uint8_t>& levels) {
        dl::Dc dc(*window);
        dl::DrawLinearSpectrum(dc, levels.data(), int(levels.size()));
    }
    void Log(const std::vector<uint8_t>& levels) {
        dl::Dc dc(*window);
        dl::DrawLogSpectrum(dc, levels.data(), int(levels.size()));
    }
    std::vector<uint8_t> Flat(int bins, int depth) { return std::vector<uint8_t>(static_cast<size_t>(bins), uint8_t(depth)); }
};

TEST_F(Graph, LinearGridAt48kOn512) {
    SetRate(48000);
    dl::Settings.graph = 116;
    Linear(Flat(2048, 255));
    for (int x : {128, 256, 384}) {
        EXPECT_EQ(At(X() + x, Top() + 100), kGridDark) << x;
        EXPECT_EQ(At(X() + x, Top() + 1), kGridDark) << x;
        EXPECT_EQ(At(X() + x, Top()), dl::kBlack) << "the line stops below the top row";
    }
    EXPECT_EQ(At(X() + 129, Top() + 100), dl::kBlack);
    // Decibel lines every 12 dB.
    for (int y : {28, 56, 85, 113, 142, 170, 198, 227}) EXPECT_EQ(At(X() + 50, Top() + y), kGridDark) << y;
    EXPECT_EQ(At(X() + 50, Top() + 29), dl::kBlack);
}

TEST_F(Graph, LinearGridAt44kOn1024HasEightLines) {
    Configure(1024);
    dl::Settings.graph = 116;
    Linear(Flat(2048, 255));
    int lines = 0;
    for (int x = 0; x < W(); ++x) lines += At(X() + x, Top() + 3) == kGridDark;
    EXPECT_EQ(lines, 8);
    for (int x : {116, 232, 348, 464, 580, 697, 813, 929}) EXPECT_EQ(At(X() + x, Top() + 3), kGridDark) << x;
}

TEST_F(Graph, AmplitudeGridForEachScale) {
    dl::Settings.graph = 116;
    dl::Settings.Decibel = false;
    Linear(Flat(2048, 255));
    for (int y : {64, 128, 192}) EXPECT_EQ(At(X() + 50, Top() + y), kGridDark);
    dl::Settings.Decibel = true;
    dl::Settings.Expand = true;
    dl::DarkScheme = false;
    Linear(Flat(2048, 255));
    for (int y : {11, 67, 124, 180, 237}) EXPECT_EQ(At(X() + 50, Top() + y), rgb(0xFFFF00)) << y;
    EXPECT_EQ(At(X() + 50, Top() + 12), dl::kWhite);
}

TEST_F(Graph, ExpandLabelsInsideTheGraphWhenTheScaleHasNoRoom) {
    dl::LayoutUnits.WindowWidth = W() + 2 * X();
    dl::Settings.graph = 116;
    dl::Settings.Expand = true;
    Linear(Flat(2048, 255));
    // "-72" sits on the -72 dB line at y 237, centred on it and ending at the graph's right edge.
    int ink = 0;
    for (int x = W() - 2 * X(); x < W() + X(); ++x)
        for (int y = Top() + 237 - Y(); y < Top() + 237 + Y(); ++y) ink += At(x, y) == dl::kWhite;
    EXPECT_GT(ink, 10);
    // With room for the scale there are no labels in the graph.
    dl::LayoutUnits.WindowWidth = dl::compute_window_width(512, 8, 1920);
    Linear(Flat(2048, 255));
    ink = 0;
    for (int x = W() - 2 * X(); x < W() + X(); ++x)
        for (int y = Top() + 237 - Y(); y < Top() + 237 + Y(); ++y) ink += At(x, y) == dl::kWhite;
    EXPECT_EQ(ink, 0);
}

TEST_F(Graph, BarTopsAtTheirDepth) {
    dl::Settings.graph = 117;
    std::vector<uint8_t> levels = Flat(2048, 255);
    for (int i = 40; i < 44; ++i) levels[i] = 100;  // column 10 (4 bins per column)
    Linear(levels);
    EXPECT_EQ(At(X() + 10, Top() + 100), dl::kWhite);
    EXPECT_EQ(At(X() + 10, Top() + 255), dl::kWhite);
    EXPECT_EQ(At(X() + 10, Top() + 99), dl::kBlack);
    EXPECT_EQ(At(X() + 11, Top() + 254), dl::kBlack);
}

TEST_F(Graph, SilentTickDrawsTheBottomRowOnly) {
    for (int graph : {116, 117}) {
        dl::Settings.graph = graph;
        for (int view : {109, 110}) {
            view == 109 ? Linear(Flat(2048, 255)) : Log(Flat(2048, 255));
            int bottom = 0, above = 0;
            for (int x = X(); x < X() + W(); ++x) {
                bottom += At(x, Top() + 255) == dl::kWhite;
                above += At(x, Top() + 254) == dl::kWhite;
            }
            EXPECT_GT(bottom, W() / 2) << graph << " " << view;
            EXPECT_EQ(above, 0) << graph << " " << view;
        }
    }
}

TEST_F(Graph, PitchClassesAndNoteColours) {
    dl::NoteReference = 1760.0;
    // 4410 Hz over 22050 bins: bin i is i/10 Hz.
    EXPECT_EQ(dl::PitchClass(4400, 22050, 4410), 0);   // A4: lah
    EXPECT_EQ(dl::PitchClass(2616, 22050, 4410), 3);   // C4: doh
    EXPECT_EQ(dl::PitchClass(2772, 22050, 4410), 4);   // C#4: accidental
    EXPECT_EQ(dl::PitchClass(0, 22050, 4410), 12);
    EXPECT_EQ(dl::PitchClass(5, 22050, 0), 12);        // no rate, no pitch
    dl::DarkScheme = false;
    EXPECT_EQ(dl::CreateNoteBrush(0), rgb(0xFF00FF));
    EXPECT_EQ(dl::CreateNoteBrush(3), rgb(0xFF0000));
    EXPECT_EQ(dl::CreateNoteBrush(4), dl::kBlack);
    EXPECT_EQ(dl::CreateNoteBrush(12), dl::kBlack);
    EXPECT_EQ(dl::CreateNoteBrush(5), rgb(0x808000));
    dl::DarkScheme = true;
    EXPECT_EQ(dl::CreateNoteBrush(4), rgb(0xC0C0C0));
    EXPECT_EQ(dl::CreateNoteBrush(5), rgb(0xFFFF00));
    EXPECT_EQ(dl::CreateNoteBrush(8), dl::kWhite);
}

TEST_F(Graph, ColouredBarsTakeTheirBinsPitch) {
    // 8000 Hz, 4096 bins on 1024 columns: bin i is 0.9765625·i Hz and sits alone in column i/4.
    Configure(1024);
    SetRate(8000);
    dl::NoteReference = 1760.0;
    dl::Settings.graph = 117;
    dl::Settings.ColorScale = 1;
    std::vector<uint8_t> levels = Flat(4096, 255);
    levels[0] = 10;
    const int a4 = 451, c4 = 268, cs4 = 284;  // 440.4, 261.7, 277.3 Hz
    for (int i : {a4, c4, cs4}) levels[i] = 50;
    Linear(levels);
    EXPECT_EQ(At(X() + a4 / 4, Top() + 60), rgb(0xFF00FF));
    EXPECT_EQ(At(X() + c4 / 4, Top() + 60), rgb(0xFF0000));
    EXPECT_EQ(At(X() + cs4 / 4, Top() + 60), rgb(0xC0C0C0));
    EXPECT_EQ(At(X(), Top() + 60), rgb(0xC0C0C0));  // the DC bar
    dl::DarkScheme = false;
    Linear(levels);
    EXPECT_EQ(At(X() + cs4 / 4, Top() + 60), dl::kBlack);
}

TEST_F(Graph, FatBarsOfFewBinsTouch) {
    dl::Settings.fftparam = 8;
    dl::Settings.futosa = 2;
    dl::Settings.graph = 117;
    std::vector<uint8_t> levels = Flat(128, 255);
    for (int i = 20; i < 24; ++i) levels[i] = 100;
    Linear(levels);
    for (int x = 80; x < 96; ++x) EXPECT_EQ(At(X() + x, Top() + 150), dl::kWhite) << x;
    EXPECT_EQ(At(X() + 79, Top() + 150), dl::kBlack);
    EXPECT_EQ(At(X() + 96, Top() + 150), dl::kBlack);
}

TEST_F(Graph, FatLogBarsLeaveAGapOnlyWithoutColour) {
    dl::Settings.fftparam = 8;
    dl::Settings.futosa = 2;
    dl::Settings.graph = 117;
    SetRate(8000);
    // Bin 2 spans columns 101..147 and bin 3 starts at 148.
    Log(Flat(128, 0));
    EXPECT_EQ(At(X() + 146, Top() + 128), dl::kWhite);
    EXPECT_EQ(At(X() + 147, Top() + 128), dl::kBlack);
    EXPECT_EQ(At(X() + 148, Top() + 128), dl::kWhite);
    dl::Settings.ColorScale = 1;
    dl::NoteSettingsChanged();  // as the option dialog's change says it
    Log(Flat(128, 0));
    EXPECT_NE(At(X() + 147, Top() + 128), dl::kBlack);
    EXPECT_EQ(At(X() + 147, Top() + 128), dl::CreateNoteBrush(dl::PitchClass(2, 128, 8000)));
}

TEST_F(Graph, TuningViewScrollsByOneTextLine) {
    dl::Dc dc(*window);
    dc.fill_rect(X(), Top() + 256 - 2 * Y(), X() + W(), Top() + 256, rgb(0x123456));
    dl::ScrollTuningLines(dc);
    EXPECT_EQ(At(X() + 7, Top() + 256 - 4 * Y()), rgb(0x123456));
    EXPECT_EQ(At(X() + 7, Top() + 256 - 2 * Y() - 1), rgb(0x123456));
    EXPECT_EQ(At(X() + 7, Top() + 256 - 2 * Y()), dl::kBlack);
    EXPECT_EQ(At(X() + 7, Top() + 255), dl::kBlack);
}

}  // namespace
