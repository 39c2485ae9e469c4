#include "app/batch_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "audio/run.h"
#include "audio/source.h"
#include "display/frame.h"
#include "display/readouts.h"
#include "display/window_paint.h"
#include "platform/format_text.h"
#include "platform/headless_app.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "state/analysis.h"
#include "state/engine.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/window_dc.h"

namespace dl {

namespace {

std::string level_number(const LevelFigure& l) {
    return l.decibel ? format_text("%d", l.decibels) : format_text("%.3f", l.amplitude);
}

// A frequency as the read-outs show it; read precisely, with two digits more.
std::string frequency_text(double f, bool precise) {
    return precise ? format_text("%.*f", FrequencyDecimals(f) + 2, f) : FrequencyFigure(f, 0);
}

// The tracker's columns: frequency, note and cents against the reference A4, confidence; empty
// when nothing was voiced.
std::string fundamental_columns(const BlockAnalysis& a) {
    if (!a.f0_voiced) return ",,,";
    const double cents = std::fabs(a.f0_cents) < 0.05 ? 0.0 : a.f0_cents;  // never "-0.0"
    return format_text("%.3f,%s,%+.1f,%.2f", a.f0_frequency, a.f0_note.c_str(), cents, a.f0_confidence);
}

// The momentary and short-term loudness once their windows are full of sound; "-inf" for silence.
std::string loudness_columns(const LoudnessReading& l) {
    auto value = [](bool ready, double v) {
        if (!ready) return std::string();
        return std::isfinite(v) ? format_text("%.2f", v) : std::string("-inf");
    };
    return value(l.momentary_ready, l.momentary) + "," + value(l.short_term_ready, l.short_term);
}

}  // namespace

int BatchFailure(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1;
}

bool ParseBatchOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
                       BatchOptions& out) {
    auto is_allowed = [&](const std::string& a) {
        for (const std::string& x : allowed)
            if (x == a) return true;
        return a == "--set" || a == "--png";
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (!is_allowed(a)) return BatchFailure("unknown option: " + a), false;
            if (i + 1 >= args.size()) return BatchFailure(a + " needs a value"), false;
            const std::string& v = args[++i];
            if (a == "--png") {
                out.png = v;
            } else if (a == "--device") {
                out.device = v;
            } else if (a == "--seconds") {
                char* end = nullptr;
                out.seconds = std::strtod(v.c_str(), &end);
                if (v.empty() || *end || !(out.seconds >= 0)) return BatchFailure("--seconds expects a number: " + v), false;
            } else {
                const size_t eq = v.find('=');
                if (eq == std::string::npos || eq == 0) return BatchFailure("--set expects KEY=VALUE: " + v), false;
                out.sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
            }
        } else {
            out.positional.push_back(a);
        }
    }
    return true;
}

BatchRun::BatchRun() {
    VoicePointerSteers = false;
    ensure_headless_application();
    set_message_box_hook([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "%s\n", r.text.c_str());
        std::fflush(stderr);
    });
}

BatchRun::~BatchRun() {
    if (SourceState.running) EndRun(false);
    CloseSource();
    FreeFormatRecord();
    set_message_box_hook(nullptr);
    ResetProcessState();
}

bool BatchRun::Prepare(const BatchOptions& options) {
    JapaneseUi = japanese_locale();
    // What the run corrects is said, once a value, so that a run never analyses with other settings
    // than the user believes without a word.
    std::vector<std::string> corrections;
    load_settings(&corrections);
    for (const auto& [key, value] : options.sets)
        if (!set_setting_from_text(key, value, &corrections)) return BatchFailure("unknown setting: " + key), false;
    for (size_t i = 0; i < corrections.size(); ++i)
        if (std::find(corrections.begin(), corrections.begin() + std::ptrdiff_t(i), corrections[i]) ==
            corrections.begin() + std::ptrdiff_t(i))
            std::fprintf(stderr, "dewlark: settings: %s\n", corrections[i].c_str());
    measure_layout_units();
    GraphWidth = 512;
    WindowWidth = compute_window_width(GraphWidth, CellWidth, screen_width());
    client_ = std::make_unique<Surface>(WindowWidth, client_height());
    WindowSurface = client_.get();
    PrepareDisplayResources();
    DrawAnalysedBlocks = !options.png.empty();
    return true;
}

void BatchRun::Paint() {
    RecomputeDarkScheme();
    WindowDc wdc;
    PaintClientArea(wdc.dc());
}

bool BatchRun::SavePicture(const BatchOptions& options) {
    if (options.png.empty() || !client_) return true;
    std::string why;
    if (client_->save_png(options.png, &why)) return true;
    BatchFailure("cannot write " + options.png + (why.empty() ? "" : ": " + why));
    return false;
}

void PrintCsvHeader() {
    std::printf("time,peak_hz,level,a4,labels,f0_hz,f0_note,f0_cents,f0_confidence,lufs_m,lufs_s\n");
    std::fflush(stdout);
}

void PrintCsvRow(double seconds, const BlockAnalysis& a) {
    std::string peak, level, a4, labels;
    if (a.peak_shown) {
        peak = frequency_text(a.peak_frequency, a.precise);
        level = level_number(a.peak_level);
    }
    if (a.a4_shown) a4 = format_text("%.1f", a.a4_frequency);
    for (const PeakLabel& l : a.labels) {
        if (l.text == PeakLabel::Text::None) continue;
        if (!labels.empty()) labels += ';';
        labels += l.text == PeakLabel::Text::Note ? l.note : frequency_text(l.frequency, a.precise);
    }
    std::printf("%.3f,%s,%s,%s,%s,%s,%s\n", seconds, peak.c_str(), level.c_str(), a4.c_str(), labels.c_str(),
                fundamental_columns(a).c_str(), loudness_columns(a.strip.loudness).c_str());
}

}  // namespace dl
