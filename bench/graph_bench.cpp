// Per-tick drawing of the graphs and the level meter on an off-screen surface the size of the
// main window: every graph routine in every style at N = 65536 on a 1024-pixel graph and at
// N = 4096 on a 512-pixel graph. The levels look like a real spectrum: a falling noise floor
// with a few strong lines; a second set of uniformly random levels shows the worst case.
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench_registry.h"
#include "display/frame.h"
#include "display/level_meter.h"
#include "display/spectrum_graphs.h"
#include "platform/dc.h"
#include "platform/headless_app.h"
#include "platform/surface.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"

namespace {

using dl::bench::median;
// Processor time of this thread: a neighbour loading the machine slows it far less than the clock.
const auto cpu_ns = dl::bench::thread_cpu_ns;

std::vector<uint8_t> spectrum_levels(int bins, bool random) {
    std::mt19937 gen(99);
    std::vector<uint8_t> v(static_cast<size_t>(bins));
    for (int i = 0; i < bins; ++i) {
        int level;
        if (random) {
            level = int(gen() % 256);
        } else {
            level = 60 + (150 * i) / bins + int(gen() % 40);
            if (gen() % 211 == 0) level -= int(gen() % 120);
        }
        v[i] = uint8_t(std::clamp(level, 0, 255));
    }
    return v;
}

// Median time of one call in microseconds.
template <class F>
double time_us(F draw) {
    for (int i = 0; i < 5; ++i) draw();  // caches and tables
    std::vector<double> samples;
    for (int b = 0; b < 41; ++b) {
        const int reps = 10;
        const double t0 = cpu_ns();
        for (int r = 0; r < reps; ++r) draw();
        samples.push_back((cpu_ns() - t0) / reps / 1000.0);
    }
    return median(samples);
}

void run_graphs() {
    dl::ensure_headless_application();
    dl::LayoutUnits.CellWidth = 8;
    dl::LayoutUnits.CellHeight = 7;
    dl::SourceInfo.sample_rate = 44100;
    dl::SourceInfo.khz = 44;
    dl::SourceInfo.format_tag = 1;
    dl::DarkScheme = true;
    struct Size {
        int p, width;
        double target_us;
    };
    std::printf("graphs: one call on one core, median of 41 batches (microseconds)\n");
    // HiDPI screens draw scale^2 as many pixels: the budget grows with them.
    for (const double scale : {1.0, 1.5, 2.0}) {
        for (Size s : {Size{16, 1024, 300}, Size{12, 512, 50}}) {
            s.target_us *= scale * scale;
            std::printf(" device-pixel ratio %.1f\n", scale);
            dl::LayoutUnits.GraphWidth = s.width;
            dl::LayoutUnits.WindowWidth = dl::compute_window_width(s.width, 8, 1920);
            dl::Surface surface(dl::WindowWidth + 8, 16 * 7 + 260, scale);
            dl::Dc dc(surface);
            dl::Settings.fftparam = s.p;
            const int bins = 1 << (s.p - 1);
            for (bool random : {false, true}) {
                const std::vector<uint8_t> levels = spectrum_levels(bins, random);
                for (int view : {109, 110}) {
                    for (int style = 0; style < 6; ++style) {
                        dl::Settings.display = view;
                        dl::Settings.graph = style < 2 ? 116 : 117;
                        dl::Settings.futosa = style % 2 ? 2 : 1;
                        dl::Settings.ColorScale = style >= 4;
                        dl::NoteSettingsChanged();
                        const double us = time_us([&] {
                            if (view == 109)
                                dl::DrawLinearSpectrum(dc, levels.data(), bins);
                            else
                                dl::DrawLogSpectrum(dc, levels.data(), bins);
                        });
                        static const char* const styles[] = {"line thin",  "line fat",       "bar thin",
                                                             "bar fat",    "coloured thin", "coloured fat"};
                        std::printf("  %-6s %-14s %-8s N=%-6d W=%-5d %8.1f us  target %3.0f  %s\n",
                                    view == 109 ? "linear" : "log", styles[style], random ? "random" : "spectrum",
                                    2 * bins, s.width, us, s.target_us, us < s.target_us ? "ok" : "OVER");
                    }
                }
            }
            const double scroll = time_us([&] { dl::ScrollTuningLines(dc); });
            std::printf("  %-6s %-14s %-8s N=%-6d W=%-5d %8.1f us  target %3.0f  %s\n", "tuning", "scroll", "-",
                        2 * bins, s.width, scroll, s.target_us, scroll < s.target_us ? "ok" : "OVER");
        }

    }
    // Two rows of the level meter per tick, every style.
    std::printf("level meter: two rows per tick (microseconds)\n");
    dl::Surface surface(600, 372);
    dl::Dc dc(surface);
    for (int style = 0; style < 4; ++style) {
        dl::Settings.Decibel = style >= 2;
        dl::FastLevelStyle = style % 2;
        uint32_t a = 0;
        const double us = time_us([&] {
            a = (a + 977) % 32768;
            dl::DrawLevels(dc, a, 14, 7, 2048);
            dl::DrawLevels(dc, 32767 - a, 28, 7, 2048);
        });
        static const char* const names[] = {"linear segments", "linear bar", "decibel segments", "decibel bar"};
        std::printf("  %-18s %8.1f us\n", names[style], us);
    }
}

const dl::bench::Registration reg("graphs", run_graphs);

}  // namespace
