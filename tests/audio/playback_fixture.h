// A main window wired to the playback engine, the disk audio driver, and sound files made on the spot.
#pragma once
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/display_tick.h"
#include "audio/playback.h"
#include "audio/record_port.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "display/frame.h"
#include "display/present_block.h"
#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "platform/system.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/reset.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/window_dc.h"
#include "support/test_support.h"
#include "support/wav_builder.h"

namespace play_test {

// Bytes that never look like silence, different at every position of a long stretch.
inline std::string pattern(size_t n, uint32_t seed = 1) {
    std::string d(n, 0);
    uint32_t x = seed * 2654435761u + 12345;
    for (size_t k = 0; k < n; ++k) {
        x = x * 1664525u + 1013904223u;
        d[k] = char(1 + (x >> 24) % 126);
    }
    return d;
}

// 16-bit mono tone segments, `seconds_each` long.
inline std::string tones(uint32_t rate, const std::vector<double>& hz, double seconds_each) {
    std::string d;
    for (double f : hz) {
        const size_t n = size_t(rate * seconds_each);
        for (size_t k = 0; k < n; ++k) {
            const int16_t v = int16_t(12000 * std::sin(2 * M_PI * f * double(k) / rate));
            d += char(v & 0xFF);
            d += char((v >> 8) & 0xFF);
        }
    }
    return d;
}

class Handler : public dl::WindowHandler {
public:
    void on_paint(dl::Dc&) override {}
    void on_command(int, int) override {}
    void on_timer(int id) override {
        if (id == 2 && picture_timer) dl::DisplayTick(dl::time_get_time());
        if (id != 1) return;
        dl::WindowDc dc;
        dl::SetSchemeTextColours(dc);
        dl::TimerTick(dc, dl::time_get_time());
    }
    void on_wave_out_done(int header) override { dl::PlaybackTick(header); }
    void on_wave_in_data(int header) override { dl::RecordTick(header); }
    // Off where the test gives timer 2's ticks itself, on the sound's clock.
    bool picture_timer = true;
};

class PlaybackFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = dl_test::temp_dir();
        disk_ = dir_ + "/played.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", disk_.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        dl::audio_quit();
        dl::ResetProcessState();
        std::vector<dl::MenuBarEntry> menus{{"&File", {{101, "&Monitor..."}, {104, "e&xit"}}},
                                            {"&Operation",
                                             {{120, "init"}, {121, "&Start", true}, {122, "s&Top", true},
                                              {123, "beep"}, {124, "&Option..."}}}};
        window_ = std::make_unique<dl::MainWindow>(handler_, menus, 600, 372);
        for (int id : {121, 122, 123}) window_->create_button(id, "b", 10 * id - 1200, 300, 60, 20, id != 122);
        dl::TheMainWindow = window_.get();
        dl::WindowSurface = &window_->surface();
        dl::PrepareDisplayResources();
        // It shows its blocks, as the window does.
        dl::PresentAnalysedBlock = dl::PresentBlock;
        dl::ShiftHeldAtStart = [this] { return shift_; };
        dl::RunObserver = [this](dl::RunEvent e) { on_run_event(e); };
        dl::AnalysisObserver = [this](double s, const dl::BlockAnalysis& a) {
            blocks_.push_back(s);
            if (a.peak_shown) block_peaks_.emplace_back(s, a.peak_frequency);
        };
    }
    void TearDown() override {
        if (dl::SourceState.running) dl::StopPlayback();
        pump(50);
        dl::CloseSource();
        dl::FreeFormatRecord();
        dl::ResetProcessState();
        window_.reset();
        dl::audio_quit();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIODELAY");
    }

    std::string make_wav(const std::string& name, uint16_t channels, uint32_t rate, uint16_t bits,
                         const std::string& data) {
        return dl_test::write_file(dir_ + "/" + name, dl_test::pcm_wav(channels, rate, bits, data));
    }
    // Selects the file as the program does and starts it.
    void start(const std::string& path) {
        dl::CloseSource();
        dl::FileName = path;
        dl::SourceState.mode = dl::SourceMode::File;
        ASSERT_EQ(dl::OpenSource(), dl::Result::Done);
        dl::StartPlayback();
    }
    void pump(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    // Runs the event loop until the play ends; false on a time-out.
    bool play_to_end(int limit_ms = dl_test::kPatienceMs) {
        QElapsedTimer t;
        t.start();
        while (dl::SourceState.running && t.elapsed() < limit_ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return !dl::SourceState.running;
    }
    // What the device played, from its first non-silent byte on: must start with `data`.
    void expect_played(const std::string& data, uint8_t silence) {
        const std::string played = dl_test::read_file(disk_);
        const size_t at = played.find(data.substr(0, 64));
        ASSERT_NE(at, std::string::npos) << "the data never reached the device";
        for (size_t k = 0; k < at; ++k) ASSERT_EQ(uint8_t(played[k]), silence) << "at " << k;
        ASSERT_GE(played.size(), at + data.size());
        EXPECT_TRUE(played.compare(at, data.size(), data) == 0) << "played bytes differ from the file's";
    }
    // What the run has told the window (the window shows it, tests/app): whether what starts a run
    // (PLAY, Start, the idle items) serves, and whether STOP does.
    void on_run_event(dl::RunEvent e) {
        events_.push_back(e);
        if (e == dl::RunEvent::Taken) start_side_ = false;
        if (e == dl::RunEvent::Running) stop_side_ = true;
        if (e == dl::RunEvent::Stopping) stop_side_ = false;
        if (e == dl::RunEvent::Ended) start_side_ = true, stop_side_ = false;
    }
    void expect_controls_idle() {
        EXPECT_TRUE(start_side_);
        EXPECT_FALSE(stop_side_);
    }
    void expect_controls_running() {
        EXPECT_FALSE(start_side_);
        EXPECT_TRUE(stop_side_);
    }

    std::string dir_, disk_;
    Handler handler_;
    std::unique_ptr<dl::MainWindow> window_;
    bool shift_ = true;
    bool start_side_ = true, stop_side_ = false;
    std::vector<dl::RunEvent> events_;
    std::vector<double> blocks_;
    std::vector<std::pair<double, double>> block_peaks_;  // start and "Peak" frequency of each block
    dl_test::MessageBoxCapture boxes_;
};

}  // namespace play_test
