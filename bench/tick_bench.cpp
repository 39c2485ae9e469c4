// One whole tick of the analysis as playback runs it: level meters, stereo mix, window and
// transform, the strongest line and its read-outs, display levels and the graph of the view,
// and a list of four peaks, on a stereo 16-bit block drawn straight into a window-sized surface;
// with the settings of a file from before the precise estimator and the tuner ("old"), and of a
// fresh start, which reads the peaks precisely and tracks the fundamental for the tuner ("fresh").
// Rates are per second of this thread's processor time; fresh_over_old is a fresh tick's time
// over an old one's, the two measured in turns.
#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/level_meters.h"
#include "analysis/pipeline.h"
#include "analysis/pitch.h"
#include "app/export_command.h"
#include "audio/timer_tick.h"
#include "bench_registry.h"
#include "display/analysis_settings.h"
#include "display/frame.h"
#include "display/level_scale.h"
#include "display/present_block.h"
#include "display/spectrogram.h"
#include "platform/dc.h"
#include "platform/headless_app.h"
#include "platform/surface.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/layout_units.h"
#include "state/references.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"
#include "state/window_dc.h"

namespace {

using dl::bench::median;

// Processor time of this thread: the machine may be shared, and the target is one core's worth.
const auto cpu_ns = dl::bench::thread_cpu_ns;

// A stereo block of n frames: three tones and some noise, different in each channel.
std::vector<uint8_t> stereo_block(int n) {
    std::mt19937 gen(5);
    std::normal_distribution<double> noise(0.0, 40.0);
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(n) * 4);
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * i / 44100.0;
        const double common = 6000 * std::sin(440 * t) + 2500 * std::sin(659.3 * t);
        for (double v : {common + 1500 * std::sin(277.2 * t) + noise(gen), common - 800 * std::sin(1975 * t) + noise(gen)}) {
            const int s = std::clamp(int(std::lround(v)), -32768, 32767);
            bytes.push_back(uint8_t(s & 0xff));
            bytes.push_back(uint8_t((s >> 8) & 0xff));
        }
    }
    return bytes;
}

// A fresh start's estimator and tuner, four labels, a 4096-point transform.
void fresh_start_at_4096() {
    dl::ensure_headless_application();
    dl::Settings = dl::SettingsRecord{};
    dl::Settings.precise_peaks = 1;
    dl::Settings.tuner = 1;
    dl::Settings.freqnum = 4;
    dl::Settings.fftparam = 12;
}

// A 16-bit stereo source at 44.1 kHz, as every case plays.
void play_stereo_16bit() {
    dl::SourceInfo.format_tag = 1;
    dl::SourceInfo.sample_rate = 44100;
    dl::SourceInfo.ChannelLayout = 3;
    dl::SourceInfo.bits = 16;
}

// The analyser's work arrays for an n-point transform and the block of stereo_block(n) in the
// sample buffer, both handed back when the case ends.
struct TickBlock {
    std::vector<double> re, im;
    std::vector<uint8_t> bytes;
    explicit TickBlock(int n) : re(size_t(n)), im(size_t(n)), bytes(stereo_block(n)) {
        dl::RunAnalyser.work.re = re.data();
        dl::RunAnalyser.work.im = im.data();
        dl::RunAnalyser.work.n = n;
        dl::BlockBytes = uint32_t(bytes.size());
        dl::SampleBuffers[0] = bytes.data();
    }
    ~TickBlock() {
        dl::SampleBuffers[0] = nullptr;
        dl::RunAnalyser.work = dl::WorkArraysRecord{};
    }
    TickBlock(const TickBlock&) = delete;
    TickBlock& operator=(const TickBlock&) = delete;
};

void run_tick() {
    dl::ensure_headless_application();
    dl::Settings = dl::SettingsRecord{};
    dl::Settings.freqnum = 4;
    play_stereo_16bit();
    dl::ConversionStream = nullptr;
    // A settings file from before the precise estimator and the tuner, and a fresh start with both.
    auto choose = [](bool fresh) {
        dl::Settings.precise_peaks = fresh;
        dl::Settings.tuner = fresh;
    };

    struct Size {
        int p, width;
    };
    // HiDPI screens: text and graphs in scale^2 as many device pixels.
    for (const double scale : {1.0, 2.0}) {
        for (Size size : {Size{12, 512}, Size{16, 1024}}) {
            const int n = 1 << size.p;
            dl::Settings.fftparam = size.p;
            dl::LayoutUnits.GraphWidth = size.width;
            dl::LayoutUnits.WindowWidth = size.width + 9 * dl::CellWidth;
            dl::Surface window(dl::WindowWidth + dl::CellWidth, dl::client_height(), scale);
            dl::WindowSurface = &window;
            dl::Dc dc(window);

            const TickBlock tick_block(n);
            const std::vector<uint8_t>& block = tick_block.bytes;

            for (int view : {109, 110, 111, 112}) {
                for (int graph : {116, 117}) {
                    dl::Settings.display = view;
                    dl::Settings.graph = graph;
                    dl::ResetPitchHistory(dl::RunAnalyser);
                    double at = 0;
                    auto tick = [&] {
                        dl::PresentBlock(dc,
                                         dl::MeasureWithSettings(dl::RunAnalyser,
                                                                 {block.data(), uint32_t(block.size()), at}),
                                         dl::AnalysisPurpose::Both);
                        at += 0.05;
                    };
                    for (const bool fresh : {false, true}) {
                        choose(fresh);
                        for (int i = 0; i < 10; ++i) tick();  // tables, fonts, buffers
                    }
                    // About 20 ms per batch; the old and fresh settings take turns batch by batch,
                    // so that a slower spell of a shared machine falls on both.
                    const int reps = size.p >= 16 ? 20 : 200;
                    std::vector<double> rates[2], ratios;
                    for (int b = 0; b < 25; ++b) {
                        for (const bool fresh : {false, true}) {
                            choose(fresh);
                            for (int i = 0; i < 2; ++i) tick();
                            const double t0 = cpu_ns();
                            for (int r = 0; r < reps; ++r) tick();
                            rates[fresh].push_back(reps * 1e9 / (cpu_ns() - t0));
                        }
                        ratios.push_back(rates[0].back() / rates[1].back());
                    }
                    const double old_rate = median(rates[0]), fresh_rate = median(rates[1]);
                    std::printf("tick view=%d graph=%d N=%d W=%d scale=%.1f old_ticks_per_s=%.0f "
                                "fresh_ticks_per_s=%.0f fresh_over_old=%.2f\n",
                                view, graph, n, size.width, scale, old_rate, fresh_rate, median(ratios));
                    std::fflush(stdout);
                }
            }
            dl::WindowSurface = nullptr;
        }
    }
}

// The measuring controls' cost: the log view's tick with every control off, with exponential
// averaging and both holds on the mix and on the channels' difference, with left and right traces,
// and with a frequency and level range alone; each beside everything off.
void run_measure() {
    dl::ensure_headless_application();
    dl::Settings = dl::SettingsRecord{};
    play_stereo_16bit();
    dl::ConversionStream = nullptr;
    dl::Settings.display = 110;
    // The normal and large layouts, and a maximised window on a 1920 × 1200 screen.
    struct Size {
        int p, width, height;
    };
    for (const Size size : {Size{12, 512, 256}, Size{16, 1024, 256}, Size{16, 1848, 1000}}) {
        const int p = size.p, n = 1 << p, width = size.width;
        dl::Settings.fftparam = p;
        dl::LayoutUnits.GraphWidth = width;
        dl::LayoutUnits.GraphHeight = size.height;
        dl::LayoutUnits.WindowWidth = width + 9 * dl::CellWidth;
        dl::Surface window(dl::WindowWidth + dl::CellWidth, dl::client_height());
        dl::WindowSurface = &window;
        dl::Dc dc(window);
        const TickBlock tick_block(n);
        const std::vector<uint8_t>& block = tick_block.bytes;
        // Everything off; averaging and both holds on the mix; the same on the difference of the
        // channels; with left and right traces; everything off but a frequency and level range; the
        // meter strip; the meter strip with loudness.
        const char* names[] = {"off", "mix", "diff", "l+r", "range", "strip", "loudness"};
        constexpr int kCases = 7;
        auto choose = [](int on) {
            dl::Settings.level_meter = on == 5 ? dl::kMeterStrip : on == 6 ? dl::kMeterStripLoudness : dl::kMeterPeakAlone;
            const bool measuring = on >= 1 && on <= 3;
            dl::Settings.averaging = measuring ? 1 : 0;
            dl::Settings.max_hold = dl::Settings.min_hold = measuring;
            dl::Settings.traces = on == 2 ? 3 : on == 3 ? 1 : 0;
            dl::Settings.freq_low = on == 4 ? 50 : 0;
            dl::Settings.freq_high = on == 4 ? 1500 : 0;
            dl::Settings.db_top = on == 4 ? -10 : 0;
            dl::Settings.db_span = on == 4 ? 80 : 0;
        };
        // Each tick's block lies one time slice (2048 frames) further on, as in playback, so the
        // meters take the new frames only, not the whole block again.
        uint64_t offset = 0;
        auto tick = [&] {
            const dl::BlockView view{block.data(), uint32_t(block.size()), double(offset) / (4 * 44100.0), offset};
            dl::PresentBlock(dc, dl::MeasureWithSettings(dl::RunAnalyser, view), dl::AnalysisPurpose::Both);
            offset += 2048 * 4;
        };
        // The cases take turns batch by batch, so that a slower spell of a shared machine falls on
        // all of them and each ratio compares batches run side by side.
        const int reps = p >= 16 ? 20 : 200;
        std::vector<double> rates[kCases], ratios[kCases];
        for (int b = 0; b < 25; ++b) {
            double off_rate = 0;
            for (int on = 0; on < kCases; ++on) {
                choose(on);
                for (int i = 0; i < 3; ++i) tick();  // the controls' arrays, tables and caches
                const double t0 = cpu_ns();
                for (int r = 0; r < reps; ++r) tick();
                const double rate = reps * 1e9 / (cpu_ns() - t0);
                if (on == 0) off_rate = rate;
                rates[on].push_back(rate);
                ratios[on].push_back(rate / off_rate);
            }
        }
        for (int on = 0; on < kCases; ++on) {
            std::printf("measure %s N=%d W=%d H=%d ticks_per_s=%.0f of_off=%.3f\n", names[on], n, width, size.height,
                        median(rates[on]), median(ratios[on]));
        }
        std::fflush(stdout);
        dl::WindowSurface = nullptr;
        dl::LayoutUnits.GraphHeight = dl::kNormalGraphHeight;
    }
}

// The spectrogram at a 10 s span and the log view with four references behind the live trace,
// beside the plain log view and the window's log of batch rows: a fresh start's tick at N=4096 on
// the 512-pixel graph.
void run_spectrogram() {
    fresh_start_at_4096();
    dl::Settings.spectrogram_span = 10;
    play_stereo_16bit();
    dl::LayoutUnits.GraphWidth = 512;
    dl::LayoutUnits.WindowWidth = 512 + 9 * dl::CellWidth;
    dl::Surface window(dl::WindowWidth + dl::CellWidth, dl::client_height(), 1.0);
    dl::WindowSurface = &window;
    dl::Dc dc(window);
    const int n = 4096;
    const TickBlock tick_block(n);
    const std::vector<uint8_t>& block = tick_block.bytes;
    double at = 0;
    auto tick = [&] {
        dl::AnalyseTickBlock(dc, {block.data(), uint32_t(block.size()), at});
        at += 2048 / 44100.0;  // a tick of the default slice
    };

    // Four references: the block's spectrum, each a few dB lower than the one before.
    dl::Settings.display = 110;
    tick();
    std::vector<dl::ReferenceSpectrum> four;
    for (int k = 0; k < 4; ++k) {
        dl::ReferenceSpectrum r{"ref", 44100, n, {}, {}};
        for (int i = 0; i < n / 2; ++i) {
            r.frequencies.push_back(i * 44100.0 / n);
            r.decibels.push_back(dl::DepthDecibels(dl::RunAnalyser.result.levels[i]) - 4 * (k + 1));
        }
        four.push_back(std::move(r));
    }

    struct Case {
        const char* name;
        int view;
        bool references, log, observed = false;
    };
    for (const Case c : {Case{"log", 110, false, false}, Case{"log+4refs", 110, true, false},
                         Case{"spectrogram10s", 112, false, false}, Case{"spectrogram10s+4refs", 112, true, false},
                         Case{"log+rowlog", 110, false, true}, Case{"log+observer", 110, false, false, true}}) {
        dl::Settings.display = c.view;
        dl::References.held = c.references ? four : std::vector<dl::ReferenceSpectrum>{};
        ++dl::References.generation;
        dl::AnalysisObserver = nullptr;
        if (c.log) dl::AnalysisObserver = dl::LogAnalysedBlock;
        if (c.observed) dl::AnalysisObserver = [](double, const dl::BlockAnalysis&) {};
        dl::ResetPitchHistory(dl::RunAnalyser);
        dl::ResetSpectrogram();
        for (int i = 0; i < 10; ++i) tick();
        std::vector<double> rates;
        for (int b = 0; b < 25; ++b) {
            const double t0 = cpu_ns();
            for (int r = 0; r < 200; ++r) tick();
            rates.push_back(200 * 1e9 / (cpu_ns() - t0));
            dl::AnalysisLog.rows.clear();
        }
        std::printf("views %-22s N=%d W=512 ticks_per_s=%.0f\n", c.name, n, median(rates));
        std::fflush(stdout);
    }
    dl::AnalysisObserver = nullptr;
    dl::References = dl::ReferencesRecord{};
    dl::WindowSurface = nullptr;
}

// A maximised window (a 1848 × 1000 graph on a 1920 × 1200 screen) beside the normal 512 × 256 graph,
// a fresh start's tick at N=4096 in each view; the two sizes take turns batch by batch and
// maximised_over_normal is a maximised tick's time over a normal one's.
void run_maximised() {
    fresh_start_at_4096();
    play_stereo_16bit();
    dl::ConversionStream = nullptr;
    const int n = 4096;
    const TickBlock tick_block(n);
    const std::vector<uint8_t>& block = tick_block.bytes;

    struct Size {
        int width, height;
    };
    const Size sizes[2] = {{512, dl::kNormalGraphHeight}, {1848, 1000}};
    auto lay_out = [](Size s) {
        dl::LayoutUnits.GraphWidth = s.width;
        dl::LayoutUnits.GraphHeight = s.height;
        dl::LayoutUnits.WindowWidth = s.width + 9 * dl::CellWidth;
    };
    std::unique_ptr<dl::Surface> windows[2];
    std::unique_ptr<dl::Dc> dcs[2];
    for (int k = 0; k < 2; ++k) {
        lay_out(sizes[k]);
        windows[k] = std::make_unique<dl::Surface>(dl::WindowWidth + dl::CellWidth, dl::client_height(), 1.0);
        dcs[k] = std::make_unique<dl::Dc>(*windows[k]);
    }
    double at = 0;
    auto tick = [&](int k) {
        lay_out(sizes[k]);
        dl::WindowSurface = windows[k].get();
        dl::PresentBlock(*dcs[k], dl::MeasureWithSettings(dl::RunAnalyser, {block.data(), uint32_t(block.size()), at}),
                         dl::AnalysisPurpose::Both);
        at += 2048 / 44100.0;
    };
    for (int view : {109, 110, 111, 112}) {
        dl::Settings.display = view;
        dl::ResetPitchHistory(dl::RunAnalyser);
        dl::ResetSpectrogram();
        for (int k = 0; k < 2; ++k)
            for (int i = 0; i < 10; ++i) tick(k);  // tables, fonts, pictures of each size
        std::vector<double> rates[2], ratios;
        for (int b = 0; b < 25; ++b) {
            for (int k = 0; k < 2; ++k) {
                for (int i = 0; i < 2; ++i) tick(k);
                const double t0 = cpu_ns();
                for (int r = 0; r < 100; ++r) tick(k);
                rates[k].push_back(100 * 1e9 / (cpu_ns() - t0));
            }
            ratios.push_back(rates[0].back() / rates[1].back());
        }
        std::printf("maximised view=%d N=%d normal_ticks_per_s=%.0f maximised_ticks_per_s=%.0f "
                    "maximised_over_normal=%.2f\n",
                    view, n, median(rates[0]), median(rates[1]), median(ratios));
        std::fflush(stdout);
    }
    lay_out({512, dl::kNormalGraphHeight});
    for (auto& dc : dcs) dc.reset();
    dl::WindowSurface = nullptr;
}

const dl::bench::Registration registration("tick", run_tick);
const dl::bench::Registration measure_registration("measure", run_measure);

const dl::bench::Registration spectrogram_registration("spectrogram", run_spectrogram);
const dl::bench::Registration maximised_registration("maximised", run_maximised);

}  // namespace
