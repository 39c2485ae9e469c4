// The read-out under the mouse, driven by pointer moves over the real window.
#include <QMainWindow>
#include <QMouseEvent>
#include <cmath>
#include <string>
#include <vector>

#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "audio/playback_fixture.h"
#include "display/hover_readout.h"
#include "display/spectrogram.h"
#include "display/spectrogram_colours.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/view.h"

namespace {

using dl_test::AppTest;

class Hover : public AppTest {
protected:
    dl::MainWindow& start_with_tone() {
        const std::string wav = dl_test::write_file(
            "hover440.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, {440.0}, 1.0)));
        dl::MainWindow& w = start({wav});
        w.update_now();
        return w;
    }
    // A pointer move over the client area, as the toolkit delivers it.
    static void move_to(int x, int y) {
        auto* top = static_cast<QMainWindow*>(dl::main_window_widget());
        QWidget* client = top->centralWidget();
        QMouseEvent e(QEvent::MouseMove, QPointF(x, y), client->mapToGlobal(QPointF(x, y)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(client, &e);
    }
    static void leave() {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(static_cast<QMainWindow*>(dl::main_window_widget())->centralWidget(), &e);
    }
    static std::vector<dl::Rgb> pixels(dl::Surface& s) {
        std::vector<dl::Rgb> v;
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) v.push_back(s.pixel(x, y));
        return v;
    }
    int Left() const { return dl::CellWidth; }
    int Top() const { return 13 * dl::CellHeight; }
};

TEST_F(Hover, LinearAndLogViewsReadTheirAxes) {
    start_with_tone();
    const double rate = 44100, W = dl::GraphWidth, B = 2048;
    dl::DispatchCommand(dl::kCmdLinear, 0);
    for (int c : {0, 100, 255, 511}) {
        move_to(Left() + c, Top() + 128);
        ASSERT_TRUE(dl::Hover.inside);
        // The linear axis: 0 Hz at the left edge, Nyquist at the right.
        EXPECT_NEAR(dl::HoverFrequency(dl::Hover.x, dl::Hover.y), c * rate / 2 / W, rate / 2 / W) << c;
    }
    dl::DispatchCommand(dl::kCmdLog, 0);
    for (double hz : {100.0, 1000.0, 10000.0}) {
        // Where the log view draws the line of this frequency.
        const int c = int(W * std::log(2 * hz * 2 * B / rate) / std::log(2 * B));
        move_to(Left() + c, Top() + 10);
        const double f = dl::HoverFrequency(dl::Hover.x, dl::Hover.y);
        const double pixel = f * (std::exp(std::log(2 * B) / W) - 1);  // one column's width there
        EXPECT_NEAR(f, hz, pixel) << hz;
    }
}

TEST_F(Hover, NoteNameAt440AndTheLastSpectrumsLevel) {
    start_with_tone();
    dl::DispatchCommand(dl::kCmdLog, 0);
    const double W = dl::GraphWidth, B = 2048;
    const int c = int(W * std::log(2 * 440.0 * 2 * B / 44100) / std::log(2 * B));
    move_to(Left() + c, Top() + 30);
    const std::string text = dl::HoverReadoutText(dl::Hover.x, dl::Hover.y);
    EXPECT_NE(text.find("Hz A4"), std::string::npos) << text;
    EXPECT_NE(text.find("c"), std::string::npos) << "cents follow the note: " << text;
    EXPECT_EQ(text.find("dB"), std::string::npos) << "no spectrum analysed yet: " << text;
    EXPECT_EQ(text.find("-0c"), std::string::npos) << text;
    // Names count from the reference A4: at 415 Hz, 440 Hz is a B flat.
    dl::Settings.reference_a4 = 4150;
    EXPECT_NE(dl::HoverReadoutText(dl::Hover.x, dl::Hover.y).find("Hz Bb4"), std::string::npos)
        << dl::HoverReadoutText(dl::Hover.x, dl::Hover.y);
    dl::Settings.reference_a4 = 4400;

    // A spectrum of a 440 Hz tone: loud there.
    dl::RunAnalyser.result.clear();
    static std::vector<uint8_t> levels(2048, 255);
    levels[40] = levels[41] = levels[42] = 10;  // 430 .. 452 Hz, about -4 dB
    dl::RunAnalyser.result.spectrum = true;
    dl::RunAnalyser.result.n = 4096;
    dl::RunAnalyser.result.levels = levels.data();
    EXPECT_NE(dl::HoverReadoutText(dl::Hover.x, dl::Hover.y).find(" -4dB"), std::string::npos)
        << dl::HoverReadoutText(dl::Hover.x, dl::Hover.y);
}

TEST_F(Hover, ReadOutInTheCornerAndNothingOutsideTheGraph) {
    dl::MainWindow& w = start_with_tone();
    const std::vector<dl::Rgb> before = pixels(w.surface());
    // Over the level meter, the source panel, the scale column: nothing changes.
    for (auto [x, y] : {std::pair{40 * dl::CellWidth, 3 * dl::CellHeight}, std::pair{5, 5},
                        std::pair{dl::GraphWidth + 3 * dl::CellWidth, Top() + 20}, std::pair{Left() - 1, Top() + 20},
                        std::pair{Left() + 20, Top() + 256}}) {
        move_to(x, y);
        EXPECT_FALSE(dl::Hover.inside) << x << "," << y;
    }
    EXPECT_TRUE(pixels(w.surface()) == before);

    move_to(Left() + 200, Top() + 100);
    ASSERT_TRUE(dl::Hover.shown);
    EXPECT_EQ(dl::Hover.left + dl::Hover.width, Left() + dl::GraphWidth) << "flush with the graph's right edge";
    EXPECT_EQ(dl::Hover.top, Top());
    std::vector<dl::Rgb> after = pixels(w.surface());
    int changed = 0, outside = 0;
    for (int y = 0; y < w.surface().height(); ++y)
        for (int x = 0; x < w.surface().width(); ++x) {
            const size_t k = size_t(y) * size_t(w.surface().width()) + size_t(x);
            if (after[k] == before[k]) continue;
            ++changed;
            const bool in_box = x >= dl::Hover.left && x < dl::Hover.left + dl::Hover.width && y >= dl::Hover.top &&
                                y < dl::Hover.top + dl::Hover.height;
            outside += !in_box;
        }
    EXPECT_GT(changed, 50);
    EXPECT_EQ(outside, 0);

    // Leaving puts back exactly what was there.
    leave();
    EXPECT_FALSE(dl::Hover.inside);
    EXPECT_FALSE(dl::Hover.shown);
    EXPECT_TRUE(pixels(w.surface()) == before);
}

TEST_F(Hover, SpectrogramReadsTheRowAndThatColumnsTime) {
    dl::MainWindow& w = start_with_tone();
    dl::DispatchCommand(dl::kCmdSpectrogram, 0);
    w.invalidate();
    w.update_now();
    {
        dl::Dc dc(w.surface());
        std::vector<uint8_t> loud(2048, 0), quiet(2048, 255);
        const double column = dl::SpectrogramSpan() / dl::GraphWidth;
        dl::DrawSpectrogram(dc, loud.data(), 2048, 0);
        dl::DrawSpectrogram(dc, quiet.data(), 2048, column);
    }
    const int row = dl::SpectrogramRow(440.0 * 4096 / 44100, 2048);
    EXPECT_EQ(w.surface().pixel(Left() + dl::GraphWidth - 2, Top() + row), dl::SpectrogramColours()[255]);
    EXPECT_EQ(w.surface().pixel(Left() + dl::GraphWidth - 1, Top() + row), dl::SpectrogramColours()[0]);
    move_to(Left() + dl::GraphWidth - 2, Top() + row);
    std::string text = dl::HoverReadoutText(dl::Hover.x, dl::Hover.y);
    EXPECT_NE(text.find("A4"), std::string::npos) << text;
    EXPECT_NE(text.find(" 0dB"), std::string::npos) << "the older column was full scale: " << text;
    move_to(Left() + dl::GraphWidth - 1, Top() + row);
    text = dl::HoverReadoutText(dl::Hover.x, dl::Hover.y);
    EXPECT_NE(text.find(" -96dB"), std::string::npos) << "the newest was silent: " << text;
    move_to(Left() + 10, Top() + row);
    EXPECT_EQ(dl::HoverReadoutText(dl::Hover.x, dl::Hover.y).find("dB"), std::string::npos) << "no block there yet";
}

}  // namespace
