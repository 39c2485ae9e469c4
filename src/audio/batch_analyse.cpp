#include "audio/batch_analyse.h"

#include <cstdio>
#include <deque>
#include <memory>

#include "analysis/readouts.h"
#include "app/settings.h"
#include "app/shell_state.h"
#include "app/window_dc.h"
#include "audio/engine_state.h"
#include "audio/playback.h"
#include "audio/position_line.h"
#include "audio/source.h"
#include "audio/source_panel.h"
#include "audio/source_state.h"
#include "audio/timer_tick.h"
#include "audio/window_paint.h"
#include "display/frame.h"
#include "display/level_meter.h"
#include "platform/headless_app.h"
#include "platform/message_box.h"
#include "platform/surface.h"
#include "platform/system.h"

namespace dl {

namespace {

struct Row {
    double time = 0;
    std::string peak, level, a4;
    std::vector<std::string> labels;
};

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    const size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
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

// Puts back the process-wide hooks and settings of a run, however it ends.
struct RunScope {
    SettingsRecord settings = Settings;
    ~RunScope() {
        ReadoutObserver = nullptr;
        BlockObserver = nullptr;
        WaveOutDoneSink = nullptr;
        ShiftHeldAtStart = nullptr;
        UseInstantDevice = false;
        if (SourceState.running) StopPlayback();
        CloseSource();
        FreeFormatRecord();
        WindowSurface = nullptr;
        set_message_box_hook(nullptr);
        Settings = settings;
    }
};

}  // namespace

std::string ReadoutNumber(const std::string& text, const std::string& skip_prefix) {
    size_t i = 0;
    if (!skip_prefix.empty()) {
        const size_t at = text.find(skip_prefix);
        if (at != std::string::npos) i = at + skip_prefix.size();
    }
    auto digit = [&](size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
    for (; i < text.size(); ++i) {
        const bool sign = (text[i] == '-' || text[i] == '+') && (digit(i + 1) || (text[i + 1] == '.' && digit(i + 2)));
        if (digit(i) || sign || (text[i] == '.' && digit(i + 1))) break;
    }
    if (i >= text.size()) return "";
    size_t j = i + 1;
    while (j < text.size() && (digit(j) || text[j] == '.')) ++j;
    return text.substr(i, j - i);
}

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
    BlockObserver = [&rows](double seconds) {
        rows.emplace_back();
        rows.back().time = seconds;
    };
    ReadoutObserver = [&rows](Readout kind, const std::string& text) {
        if (rows.empty()) return;
        Row& r = rows.back();
        switch (kind) {
            case Readout::Peak: r.peak = ReadoutNumber(text); break;
            case Readout::Level: r.level = ReadoutNumber(text); break;
            case Readout::A4: r.a4 = ReadoutNumber(text, "A4pitch"); break;
            case Readout::Label: r.labels.push_back(trim(text)); break;
        }
    };

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
    for (const Row& r : rows) {
        std::string labels;
        for (size_t i = 0; i < r.labels.size(); ++i) labels += (i ? ";" : "") + r.labels[i];
        std::printf("%.3f,%s,%s,%s,%s\n", r.time, r.peak.c_str(), r.level.c_str(), r.a4.c_str(), labels.c_str());
    }
    std::fflush(stdout);
    if (!png.empty() && !client.save_png(png)) return fail("cannot write " + png);
    return 0;
}

}  // namespace dl
