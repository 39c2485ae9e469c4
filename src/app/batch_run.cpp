#include "app/batch_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "analysis/measured_spectrum.h"
#include "app/run_controls.h"
#include "app/standard_output.h"
#include "audio/run.h"
#include "audio/source.h"
#include "display/analysis_settings.h"
#include "display/frame.h"
#include "display/present_block.h"
#include "display/readouts.h"
#include "display/window_paint.h"
#include "platform/format_text.h"
#include "platform/headless_app.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/setting_names.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
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

// The momentary or short-term loudness once its window is full of sound; "-inf" for silence.
std::string loudness_field(bool ready, double v) {
    if (!ready) return std::string();
    return std::isfinite(v) ? format_text("%.2f", v) : std::string("-inf");
}

}  // namespace

int BatchFailure(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1;
}

int BatchUsageError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kUsageStatus;
}

namespace {

bool fail(const std::string& text) { return BatchFailure(text), false; }

bool read_number(const std::string& option, const std::string& v, double& out) {
    char* end = nullptr;
    out = std::strtod(v.c_str(), &end);
    if (v.empty() || *end || !(out >= 0)) return fail(option + " expects a number: " + v);
    return true;
}

bool read_frequencies(const std::string& text, std::vector<double>& out) {
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string item = text.substr(at, comma - at);
        char* end = nullptr;
        const double hz = std::strtod(item.c_str(), &end);
        if (item.empty() || *end || !(hz >= 0) || !std::isfinite(hz))
            return fail("--spectrum expects frequencies in Hz, separated by commas: " + text);
        out.push_back(hz);
        at = comma + 1;
    }
    return true;
}

// Every batch option: its name, whether a value follows it, and what it sets. The commands say
// which they take besides the common ones.
struct OptionRule {
    const char* name;
    bool takes_value;
    bool (*apply)(BatchOptions&, const std::string&);
};

const OptionRule kOptionRules[] = {
    {"--set", true,
     [](BatchOptions& o, const std::string& v) {
         const size_t eq = v.find('=');
         if (eq == std::string::npos || eq == 0) return fail("--set expects KEY=VALUE: " + v);
         o.sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
         return true;
     }},
    {"--png", true, [](BatchOptions& o, const std::string& v) { return o.png = v, true; }},
    {"--size", true,
     [](BatchOptions& o, const std::string& v) {
         // The client area of the picture's window, as a window sized by hand.
         int w = 0, h = 0, used = 0;
         if (std::sscanf(v.c_str(), "%dx%d%n", &w, &h, &used) != 2 || used != int(v.size()) || w < 1 || h < 1 ||
             w > 8192 || h > 8192)
             return fail("--size expects WIDTHxHEIGHT in pixels, each 1 to 8192: " + v);
         o.width = w;
         o.height = h;
         return true;
     }},
    {"--reference-out", true, [](BatchOptions& o, const std::string& v) { return o.reference_out = v, true; }},
    {"--pitch-track", true, [](BatchOptions& o, const std::string& v) { return o.pitch_track = v, true; }},
    {"--spectrum", true,
     [](BatchOptions& o, const std::string& v) {
         o.spectrum.clear();
         o.spectrum_text = v;
         return read_frequencies(v, o.spectrum);
     }},
    {"--defaults", false, [](BatchOptions& o, const std::string&) { return o.defaults = true, true; }},
    {"--device", true, [](BatchOptions& o, const std::string& v) { return o.device = v, true; }},
    {"--seconds", true, [](BatchOptions& o, const std::string& v) { return read_number("--seconds", v, o.seconds); }},
    {"--jobs", true,
     [](BatchOptions& o, const std::string& v) {
         double n = 0;
         if (!read_number("--jobs", v, n) || n != std::floor(n) || n < 1 || n > 1024)
             return fail("--jobs expects a whole number from 1 to 1024: " + v);
         o.jobs = unsigned(n);
         return true;
     }},
    {"--summary", false, [](BatchOptions& o, const std::string&) { return o.summary = true, true; }},
    {"--format", true,
     [](BatchOptions& o, const std::string& v) {
         if (v != "csv" && v != "jsonl") return fail("--format expects csv or jsonl: " + v);
         return o.format = v, true;
     }},
    {"--out", true,
     [](BatchOptions& o, const std::string& v) {
         if (v.empty()) return fail("--out expects a folder");
         return o.out_dir = v, true;
     }},
    {"--files-from", true, [](BatchOptions& o, const std::string& v) { return o.files_from = v, true; }},
    {"--null", false, [](BatchOptions& o, const std::string&) { return o.null_separated = true, true; }},
    {"--quiet", false, [](BatchOptions& o, const std::string&) { return o.quiet = true, true; }},
    {"--no-header", false, [](BatchOptions& o, const std::string&) { return o.header = false, true; }},
    {"--worker", false, [](BatchOptions& o, const std::string&) { return o.worker = true, true; }},
};

// The options every batch command takes.
bool common_option(const std::string& name) {
    return name == "--set" || name == "--png" || name == "--size" || name == "--defaults" || name == "--spectrum";
}

}  // namespace

const std::vector<std::string>& ManyFileOptions() {
    static const std::vector<std::string> names = {"--jobs",  "--summary",   "--format",    "--out",   "--files-from",
                                                   "--null",  "--quiet",     "--no-header", "--worker"};
    return names;
}

bool ParseBatchOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
                       BatchOptions& out) {
    auto is_allowed = [&](const std::string& a) {
        for (const std::string& x : allowed)
            if (x == a) return true;
        return common_option(a);
    };
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        // "-0" is --null's short name, as find's -print0 and xargs -0 pair.
        const std::string a = !options_ended && args[i] == "-0" ? std::string("--null") : args[i];
        if (!options_ended && a == "--") {
            options_ended = true;
        } else if (!options_ended && a.size() > 2 && a.compare(0, 2, "--") == 0) {
            const OptionRule* rule = nullptr;
            for (const OptionRule& r : kOptionRules)
                if (a == r.name) rule = &r;
            if (!rule || !is_allowed(a)) return fail("unknown option: " + shown_name(a));
            if (rule->takes_value && i + 1 >= args.size()) return fail(a + " needs a value");
            if (!rule->apply(out, rule->takes_value ? args[++i] : std::string())) return false;
            for (const std::string& m : ManyFileOptions())
                if (a == m) out.many = true;
        } else {
            out.positional.push_back(a);
        }
    }
    return true;
}

BatchRun::BatchRun() {
    VoicePointerSteers = false;
    // No controls to show, but memory mode's status is drawn as on the window.
    RunObserver = ShowRunEvent;
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

bool ApplySettingOverrides(const BatchOptions& options, std::vector<std::string>* corrections) {
    for (const auto& [name, value] : options.sets) {
        std::string key = name, stored = value, why;
        if (translate_readable_setting(name, value, key, stored, why) == ReadableResult::BadValue)
            return BatchFailure(shown_name(why)), false;
        std::string takes;
        if (!setting_text_allowed(key, stored, takes)) {
            if (takes.empty()) return BatchFailure("unknown setting: " + shown_name(name)), false;
            return BatchFailure(shown_name(name + "=" + value) + ": " + name + " takes " + takes), false;
        }
        set_setting_from_text(key, stored, corrections);
    }
    return true;
}

bool CheckSettingOverrides(const BatchOptions& options) {
    const SettingsRecord kept = Settings;
    const bool known = ApplySettingOverrides(options);
    Settings = kept;
    return known;
}

bool BatchRun::Prepare(const BatchOptions& options) {
    JapaneseUi = japanese_locale();
    // What the run corrects is said, once a value, so that a run never analyses with other settings
    // than the user believes without a word.
    std::vector<std::string> corrections;
    if (options.defaults) use_default_settings();
    else load_settings(&corrections);
    if (!ApplySettingOverrides(options, &corrections)) return false;
    // The level range is a view of the window's: rows keep the levels of the scale's own range.
    Settings.db_span = 0;
    for (size_t i = 0; i < corrections.size(); ++i)
        if (std::find(corrections.begin(), corrections.begin() + std::ptrdiff_t(i), corrections[i]) ==
            corrections.begin() + std::ptrdiff_t(i))
            std::fprintf(stderr, "dewlark: settings: %s\n", corrections[i].c_str());
    measure_layout_units();
    SetGraphSize(kNormalGraphWidth, kNormalGraphHeight);
    int width = 0;
    // A picture is not bound to the screen: it has the room it asks for.
    const int room = std::max(screen_width(), options.width);
    if (options.width > 0) {
        // Below the normal window's size the picture is the normal one, as the window's least size.
        const GraphSize g = graph_size_for_client(options.width, options.height, room);
        SetGraphSize(g.width, g.height);
        width = options.width;
    }
    FitWindowWidth(room);
    client_ = std::make_unique<Surface>(std::max(WindowWidth, width), client_height());
    WindowSurface = client_.get();
    PrepareDisplayResources();
    if (!options.png.empty()) PresentAnalysedBlock = PresentBlock;
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

bool WritableName(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

std::string CsvHeader(const std::vector<double>& spectrum) {
    std::string header = "time,peak_hz,level,a4,labels,f0_hz,f0_note,f0_cents,f0_confidence,lufs_m,lufs_s,f0_inharmonicity";
    for (double hz : spectrum) header += format_text(",db_%gHz", hz);
    return header;
}

void PrintCsvHeader(const std::vector<double>& spectrum) {
    WriteOutput(CsvHeader(spectrum) + "\n");
    FlushOutput();
}

std::vector<std::string> SpectrumFields(const BlockAnalysis& a, const std::vector<double>& spectrum) {
    std::vector<std::string> fields;
    const AnalysisParams params = AnalysisParamsOfSettings();
    for (double hz : spectrum) {
        double db = -INFINITY;
        if (a.spectrum && SourceInfo.sample_rate != 0)
            db = DisplayedLineDecibels(RunAnalyser, params, a.n, int(std::lround(hz * a.n / SourceInfo.sample_rate)));
        fields.push_back(std::isfinite(db) ? format_text("%.2f", db) : std::string());
    }
    return fields;
}

std::vector<std::string> CsvFields(double seconds, const BlockAnalysis& a, const std::vector<std::string>& spectrum) {
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
    std::vector<std::string> fields = {format_text("%.3f", seconds), peak, level, a4, labels};
    if (!a.f0_voiced) {
        fields.insert(fields.end(), 4, std::string());
    } else {
        const double cents = std::fabs(a.f0_cents) < 0.05 ? 0.0 : a.f0_cents;  // never "-0.0"
        fields.push_back(format_text("%.3f", a.f0_frequency));
        fields.push_back(a.f0_note);
        fields.push_back(format_text("%+.1f", cents));
        fields.push_back(format_text("%.2f", a.f0_confidence));
    }
    const LoudnessReading& l = a.strip.loudness;
    fields.push_back(loudness_field(l.momentary_ready, l.momentary));
    fields.push_back(loudness_field(l.short_term_ready, l.short_term));
    fields.push_back(a.f0_voiced && a.f0_inharmonicity > 0 ? format_text("%.6f", a.f0_inharmonicity) : std::string());
    fields.insert(fields.end(), spectrum.begin(), spectrum.end());
    return fields;
}

std::string CsvRow(double seconds, const BlockAnalysis& a, const std::vector<std::string>& spectrum) {
    const std::vector<std::string> fields = CsvFields(seconds, a, spectrum);
    std::string row = fields[0];
    for (size_t i = 1; i < fields.size(); ++i) row.append(",").append(fields[i]);
    return row;
}

void PrintCsvRow(double seconds, const BlockAnalysis& a, const std::vector<std::string>& spectrum) {
    WriteOutput(CsvRow(seconds, a, spectrum) + "\n");
}

}  // namespace dl
