#pragma once
// A tick's surroundings for the analysis tests: a PCM source, a sample slot, work arrays, a
// window surface and the recorded read-outs and pointer events.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/analyser_fixture.h"
#include "analysis/pipeline.h"
#include "analysis/pitch.h"
#include "display/analysis_settings.h"
#include "display/frame.h"
#include "display/peak_labels.h"
#include "display/present_block.h"
#include "display/readouts.h"
#include "display/voice_pointer.h"
#include "measure_with_settings.h"
#include "platform/pointer.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "state/window_dc.h"
#include "support/test_support.h"

namespace dl_test {

// The read-outs a block's analysis draws.
enum class Readout { Peak, Level, A4, Label };

struct PointerEvent {
    int flags, dx, dy;
    bool operator==(const PointerEvent&) const = default;
};

class AnalysisTest : public ::testing::Test {
public:
    static std::vector<uint8_t> pcm16(const std::vector<int>& samples) { return Pcm16Bytes(samples); }

protected:
    void SetUp() override {
        dl::ResetProcessState();
        dl::VoicePointerSteers = true;  // as in the window's run, with the pointer switched on
        dl::Settings.VoicePointer = 1;
        dl::Settings.freqnum = 0;
        dl::SourceInfo.format_tag = 1;
        dl::SourceInfo.sample_rate = 44100;
        dl::SourceInfo.ChannelLayout = 1;
        dl::BlockBytes = 1u << 20;
        window_ = std::make_unique<dl::Surface>(1200, 400);
        window_->fill(dl::Rgb{0, 128, 0});
        dl::WindowSurface = window_.get();
        dc_ = std::make_unique<dl::Dc>(*window_);
        use_work_arrays(65536);
        dl::set_pointer_event_hook([this](int f, int x, int y) { pointer.push_back({f, x, y}); });
    }
    void TearDown() override {
        dl_test::keep_pointer_off_the_desktop();
        dl::ResetProcessState();
    }

    void use_work_arrays(int n) {
        work_re_.assign(size_t(n), 0.0);
        work_im_.assign(size_t(n), 0.0);
        dl::RunAnalyser.work.re = work_re_.data();
        dl::RunAnalyser.work.im = work_im_.data();
        dl::RunAnalyser.work.n = n;
    }

    // Puts bytes into slot 0 and runs one tick on them.
    // Where the next block starts in the sound, and how far each tick moves it on.
    double seconds_ = 0;
    double tick_seconds_ = 0;
    void tick(const std::vector<uint8_t>& bytes) {
        block_ = bytes;
        dl::SampleBuffers[0] = block_.data();
        const dl::BlockAnalysis& a = dl_test::MeasureWithSettings(block_.data(), uint32_t(block_.size()), seconds_);
        dl::SteerPointer(a.pointer);
        dl::PresentBlock(*dc_, a, dl::AnalysisPurpose::Both);
        record(a);
        seconds_ += tick_seconds_;
    }

    // The texts of an analysis, as drawn, in the order they are drawn.
    void record(const dl::BlockAnalysis& a) {
        if (a.peak_shown) {
            readouts.emplace_back(Readout::Peak, dl::PeakReadoutText(a.peak_frequency));
            readouts.emplace_back(Readout::Level, dl::PeakLevelText(a.peak_level));
        }
        for (const dl::PeakLabel& l : a.labels)
            if (const std::string t = dl::PeakLabelText(l); !t.empty()) readouts.emplace_back(Readout::Label, t);
        if (a.a4_shown) readouts.emplace_back(Readout::A4, dl::A4ReadoutText(a.a4_frequency, a.a4_cents));
    }

    static std::vector<int> sine(int count, double hz, double amplitude, double rate, double phase = 0) {
        std::vector<int> s(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            s[size_t(i)] = int(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate + phase)));
        return s;
    }

    std::vector<std::string> texts(Readout kind) const {
        std::vector<std::string> t;
        for (const auto& [k, s] : readouts)
            if (k == kind) t.push_back(s);
        return t;
    }

    std::vector<std::pair<Readout, std::string>> readouts;
    std::vector<PointerEvent> pointer;
    std::unique_ptr<dl::Surface> window_;
    std::unique_ptr<dl::Dc> dc_;
    std::vector<uint8_t> block_;
    std::vector<double> work_re_, work_im_;
};

}  // namespace dl_test
