// The frequency and level range in the window (a band dragged over the graph, a double click) and
// in the batch rows, which it leaves alone.
#include <QMainWindow>
#include <QMouseEvent>
#include <string>

#include "display/hover_readout.h"
#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "audio/playback_fixture.h"
#include "display/frequency_axis.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/view.h"

namespace {

using dl::Settings;
using dl_test::AppTest;

class RangeDrag : public AppTest {
protected:
    dl::MainWindow& start_with_tone() {
        const std::string wav = dl_test::write_file(
            "range440.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, {440.0}, 1.0)));
        dl::MainWindow& w = start({wav});
        w.update_now();
        return w;
    }
    // A mouse event over the client area, as the toolkit delivers it.
    static void send(QEvent::Type type, int x, int y, Qt::MouseButton button) {
        QWidget* client = static_cast<QMainWindow*>(dl::main_window_widget())->centralWidget();
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, QPointF(x, y), client->mapToGlobal(QPointF(x, y)), button, held, Qt::NoModifier);
        QApplication::sendEvent(client, &e);
    }
    static void drag(int x0, int x1, int y) {
        send(QEvent::MouseButtonPress, x0, y, Qt::LeftButton);
        send(QEvent::MouseMove, (x0 + x1) / 2, y, Qt::NoButton);
        send(QEvent::MouseMove, x1, y, Qt::NoButton);
        send(QEvent::MouseButtonRelease, x1, y, Qt::LeftButton);
    }
    static double at(int column) { return dl::HoverFrequency(dl::GraphLeft() + column, dl::GraphTop() + 10); }
};

TEST_F(RangeDrag, ABandDraggedSetsTheRangeAndADoubleClickTakesItBack) {
    start_with_tone();
    dl::DispatchCommand(dl::kCmdLog, 0);
    const int y = dl::GraphTop() + 100;
    const double low = at(100), high = at(300);
    // Right to left sets the same band as left to right.
    drag(dl::GraphLeft() + 300, dl::GraphLeft() + 100, y);
    EXPECT_EQ(Settings.freq_low, int(std::floor(low)));
    EXPECT_EQ(Settings.freq_high, int(std::ceil(high)));
    // The graph's edges now read the band's ends (to the whole hertz the range keeps).
    EXPECT_NEAR(at(0), low, 1 + low * 0.01);
    EXPECT_NEAR(at(dl::GraphWidth - 1), high, 1 + high * 0.01);

    // A press that hardly moves is a click: the range stays.
    const int kept_low = Settings.freq_low, kept_high = Settings.freq_high;
    drag(dl::GraphLeft() + 200, dl::GraphLeft() + 202, y);
    EXPECT_EQ(Settings.freq_low, kept_low);
    EXPECT_EQ(Settings.freq_high, kept_high);
    // A second band zooms further, read on the axis as it now stands.
    const double inner_low = at(200), inner_high = at(400);
    drag(dl::GraphLeft() + 200, dl::GraphLeft() + 400, y);
    EXPECT_EQ(Settings.freq_low, int(std::floor(inner_low)));
    EXPECT_EQ(Settings.freq_high, int(std::ceil(inner_high)));

    send(QEvent::MouseButtonPress, dl::GraphLeft() + 50, y, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, dl::GraphLeft() + 50, y, Qt::LeftButton);
    send(QEvent::MouseButtonDblClick, dl::GraphLeft() + 50, y, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, dl::GraphLeft() + 50, y, Qt::LeftButton);
    EXPECT_EQ(Settings.freq_low, 0);
    EXPECT_EQ(Settings.freq_high, 0);
    EXPECT_FALSE(dl::FrequencyAxis::OfView(2048).ranged());
}

TEST_F(RangeDrag, OnlyTheGraphOfAFrequencyViewTakesABand) {
    start_with_tone();
    dl::DispatchCommand(dl::kCmdLinear, 0);
    // Above the graph, and in the tuning view, a drag sets nothing.
    drag(dl::GraphLeft() + 100, dl::GraphLeft() + 300, dl::GraphTop() - 5);
    EXPECT_EQ(Settings.freq_high, 0);
    dl::DispatchCommand(dl::kCmdTuning, 0);
    drag(dl::GraphLeft() + 100, dl::GraphLeft() + 300, dl::GraphTop() + 100);
    EXPECT_EQ(Settings.freq_high, 0);
    // On the linear view's graph it does, and the whole-range command clears it.
    dl::DispatchCommand(dl::kCmdLinear, 0);
    drag(dl::GraphLeft() + 100, dl::GraphLeft() + 300, dl::GraphTop() + 100);
    EXPECT_NEAR(Settings.freq_low, 100 * 22050.0 / dl::GraphWidth, 50);
    EXPECT_NEAR(Settings.freq_high, 300 * 22050.0 / dl::GraphWidth, 50);
    dl::DispatchCommand(dl::kCmdWholeRange, 0);
    EXPECT_EQ(Settings.freq_low, 0);
    EXPECT_EQ(Settings.freq_high, 0);
}

TEST_F(RangeDrag, TheSpectrogramTakesABandDraggedAlongItsFrequencies) {
    start_with_tone();
    dl::DispatchCommand(dl::kCmdSpectrogram, 0);
    const int x = dl::GraphLeft() + 200;
    auto at_row = [](int row) { return dl::HoverFrequency(dl::GraphLeft() + 10, dl::GraphTop() + row); };
    // Its frequencies rise up the graph: a band dragged down from row 60 to row 180 spans the
    // frequencies of those rows, the higher at the top.
    const double high = at_row(60), low = at_row(180);
    ASSERT_GT(high, low);
    send(QEvent::MouseButtonPress, x, dl::GraphTop() + 60, Qt::LeftButton);
    send(QEvent::MouseMove, x + 40, dl::GraphTop() + 120, Qt::NoButton);
    send(QEvent::MouseMove, x + 80, dl::GraphTop() + 180, Qt::NoButton);
    send(QEvent::MouseButtonRelease, x + 80, dl::GraphTop() + 180, Qt::LeftButton);
    EXPECT_EQ(Settings.freq_low, int(std::floor(low)));
    EXPECT_EQ(Settings.freq_high, int(std::ceil(high)));
    // The graph's top and bottom rows now read the band's ends.
    EXPECT_NEAR(at_row(0), high, 1 + high * 0.02);
    EXPECT_NEAR(at_row(dl::GraphHeight - 1), low, 1 + low * 0.02);
    // Across the graph, a drag that hardly moves up or down is a click.
    const int kept_low = Settings.freq_low, kept_high = Settings.freq_high;
    drag(dl::GraphLeft() + 100, dl::GraphLeft() + 300, dl::GraphTop() + 100);
    EXPECT_EQ(Settings.freq_low, kept_low);
    EXPECT_EQ(Settings.freq_high, kept_high);
    send(QEvent::MouseButtonDblClick, x, dl::GraphTop() + 100, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, x, dl::GraphTop() + 100, Qt::LeftButton);
    EXPECT_EQ(Settings.freq_low, 0);
    EXPECT_EQ(Settings.freq_high, 0);
}

// The range is a view: the rows of a run with it are those of a run without it.
TEST(RangeBatch, RowsAreTheSameWithAnyRange) {
    const std::string wav = dl_test::write_file(
        "range_rows.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, {440.0, 1000.0}, 1.0)));
    const std::string args = "--analyse " + wav + " --spectrum 440,1000";
    const dl_test::ProgramRun plain = dl_test::run_program_env("", args);
    ASSERT_EQ(plain.status, 0) << plain.err;
    const dl_test::ProgramRun ranged =
        dl_test::run_program_env("", args + " --set low=50 --set high=800 --set top=-30 --set span=40");
    ASSERT_EQ(ranged.status, 0) << ranged.err;
    EXPECT_EQ(ranged.out, plain.out);
    const dl_test::ProgramRun bad = dl_test::run_program_env("", args + " --set span=5");
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.err.find("span=5: span takes 0 (the scale's own) or 20 to 160"), std::string::npos) << bad.err;
}

}  // namespace
