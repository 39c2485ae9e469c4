#include "app/batch_analyse.h"

#include <cstdio>
#include <deque>
#include <memory>

#include "audio/playback.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "display/frame.h"
#include "display/level_meter.h"
#include "display/position_line.h"
#include "display/readouts.h"
#include "display/source_panel.h"
#include "display/window_paint.h"
#include "platform/format_text.h"
#include "platform/headless_app.h"
#include "platform/message_box.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "state/analysis.h"
#include "state/engine.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/window_dc.h"

namespace dl {

namespace {

// One CSV row: a block's start and what its analysis read out, as numbers.
struct Row {
    double time = 0;
    std::string peak, level, a4, labels;
};

std::string level_number(const LevelFigure& l) {
    return l.decibel ? format_text("%d", l.decibels) : format_text("%.3f", l.amplitude);
}

Row row_of(double seconds, const BlockAnalysis& a) {
    Row r;
    r.time = seconds;
    if (a.peak_shown) {
        r.peak = FrequencyFigure(a.peak_frequency, 0);
        r.level = level_number(a.peak_level);
    }
    if (a.a4_shown) r.a4 = format_text("%.1f", a.a4_frequency);
    for (const PeakLabel& l : a.labels) {
        if (l.text == PeakLabel::Text::None) continue;
        if (!r.labels.empty()) r.labels += ';';
        r.labels += l.text == PeakLabel::Text::Note ? l.note : FrequencyFigure(l.frequency, 0);
    }
    return r;
}

int fail(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1;
}

// What a paint of the main window draws, on the stand-in client area.
void paint_window() {
    RecomputeDarkScheme();
    WindowDc wdc;
    PaintClientArea(wdc.dc());
}

// Ends the run's play and leaves nothing of it behind, however the run ends.
struct RunScope {
    ~RunScope() {
        if (SourceState.running) StopPlayback();
        CloseSource();
        FreeFormatRecord();
        set_message_box_hook(nullptr);
        ResetProcessState();
    }
};

}  // namespace

int RunAnalyseCommand(const std::vector<std::string>& raw) {
    std::vector<std::string> args = raw;
    if (!args.empty() && (args[0] == "--analyse" || args[0] == "--analyze")) args.erase(args.begin());
    std::string path, png;
    std::vector<std::pair<std::string, std::string>> sets;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--set" || a == "--png") {
            if (i + 1 >= args.size()) return fail(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--png") {
                png = v;
                continue;
            }
            const size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) return fail("--set expects KEY=VALUE: " + v);
            sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (path.empty()) {
            path = a;
        } else {
            return fail("unexpected argument: " + a);
        }
    }
    if (path.empty()) return fail("usage: dewlark --analyse FILE [--set KEY=VALUE]... [--png OUT.png]");

    ensure_headless_application();
    RunScope scope;
    set_message_box_hook([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "%s\n", r.text.c_str());
        std::fflush(stderr);
    });
    JapaneseUi = japanese_locale();
    load_settings();
    for (const auto& [key, value] : sets)
        if (!set_setting_from_text(key, value)) return fail("unknown setting: " + key);

    measure_layout_units();
    GraphWidth = 512;
    WindowWidth = compute_window_width(GraphWidth, CellWidth, screen_width());
    Surface client(WindowWidth, client_height());
    WindowSurface = &client;
    PrepareDisplayResources();

    FileName = path;
    SourceState = {SourceMode::File, false};
    if (!OpenSource()) return 1;
    paint_window();

    std::vector<Row> rows;
    std::deque<int> completions;
    UseInstantDevice = true;
    WaveOutDoneSink = [&completions](int h) { completions.push_back(h); };
    ShiftHeldAtStart = [] { return true; };  // no pacing: as fast as the machine allows
    AnalysisObserver = [&rows](double seconds, const BlockAnalysis& a) { rows.push_back(row_of(seconds, a)); };

    StartPlayback();
    if (!SourceState.running) return 1;

    // Memory mode: the timer ticks on a clock of its own until the buffer has been heard.
    const double heard_ms =
        SourceInfo.output_bytes_per_second ? BufferBytes[0] * 1000.0 / SourceInfo.output_bytes_per_second : 0.0;
    uint32_t now = StartTime;
    const uint32_t period = std::max<uint32_t>(TimerPeriod, 1);
    while (SourceState.running && !completions.empty()) {
        if (BufferCount == 1 && (now - StartTime) * RateFactor < heard_ms) {
            now += period;
            WindowDc wdc;
            SetSchemeTextColours(wdc);
            const Font* previous = wdc.dc().select_font(nullptr);
            TimerTick(wdc, now);
            wdc.dc().select_font(previous);
            continue;
        }
        const int h = completions.front();
        completions.pop_front();
        PlaybackTick(h);
    }

    std::printf("time,peak_hz,level,a4,labels\n");
    for (const Row& r : rows)
        std::printf("%.3f,%s,%s,%s,%s\n", r.time, r.peak.c_str(), r.level.c_str(), r.a4.c_str(), r.labels.c_str());
    std::fflush(stdout);
    if (!png.empty() && !client.save_png(png)) return fail("cannot write " + png);
    return 0;
}

}  // namespace dl
