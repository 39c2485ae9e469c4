#include "app/loudness_command.h"

#include <cmath>
#include <cstdio>

#include "analysis/meter_strip.h"
#include "app/batch_analyse.h"
#include "app/batch_rows.h"
#include "app/batch_run.h"
#include "audio/source.h"
#include "platform/format_text.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/source.h"
#include "state/meters.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

double decibels(double fraction) { return fraction > 0 ? 20 * std::log10(fraction) : kSilentDb; }

// A value for the CSV (empty when there is none) and for JSON (null).
std::string csv_number(double v, int decimals) { return std::isfinite(v) ? format_text("%.*f", decimals, v) : ""; }
std::string json_number(double v, int decimals) { return std::isfinite(v) ? format_text("%.*f", decimals, v) : "null"; }

// The length of the UTF-8 sequence starting at s[i], or 0 when it is not a valid one.
size_t utf8_length(const std::string& s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    if (n == 2 && c < 0xC2) return 0;  // overlong
    return n;
}

void print_csv(const std::string& path, const FileLoudness& l) {
    std::printf("%s,%s,%s,%s,%s,%s\n", CsvField(path).c_str(), csv_number(l.integrated, 2).c_str(),
                csv_number(l.range, 2).c_str(), csv_number(l.true_peak, 2).c_str(),
                csv_number(l.sample_peak, 2).c_str(), csv_number(l.seconds, 3).c_str());
}

void print_json(const std::string& path, const FileLoudness& l, bool first) {
    std::printf("%s\n  {\"file\": %s, \"integrated_lufs\": %s, \"loudness_range_lu\": %s, \"true_peak_dbtp\": %s, "
                "\"sample_peak_dbfs\": %s, \"duration_s\": %s}",
                first ? "" : ",", JsonString(path).c_str(), json_number(l.integrated, 2).c_str(),
                json_number(l.range, 2).c_str(), json_number(l.true_peak, 2).c_str(),
                json_number(l.sample_peak, 2).c_str(), json_number(l.seconds, 3).c_str());
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20) {
            out += format_text("\\u%04x", unsigned(c));
            ++i;
        } else if (const size_t n = utf8_length(text, i); n > 0) {
            out.append(text, i, n);
            i += n;
        } else {
            out += "\xEF\xBF\xBD";  // a byte that is no character: the replacement character
            ++i;
        }
    }
    return out + "\"";
}

FileLoudness MeasureFileLoudness(const std::string& path) {
    FileLoudness result;
    FileName = path;
    SourceState = {SourceMode::File, false};
    if (OpenSource() == Result::Done) {
        // The whole sound, streamed: memory mode would hold only its first part.
        const int on_memory = Settings.OnMem;
        Settings.OnMem = 0;
        LoudnessScan = true;
        const bool played = AnalyseOpenSource(nullptr) && !PlayEndedEarly;
        LoudnessScan = false;
        Settings.OnMem = on_memory;
        const LevelMetersRecord& m = LevelMeters;
        if (played && (m.loudness || !m.configured)) {
            result.measured = true;
            if (m.loudness) {
                result.integrated = m.loudness->integrated();
                result.range = m.loudness->range();
                result.true_peak = decibels(m.loudness->true_peak());
                result.sample_peak = decibels(m.loudness->sample_peak());
                result.seconds = m.rate ? double(m.loudness_frames) / m.rate : 0;
            }
        } else if (played) {
            std::fprintf(stderr, "dewlark: %s: no room to measure the loudness\n", path.c_str());
        } else {
            std::fprintf(stderr, "dewlark: %s: the sound cannot be measured\n", path.c_str());
        }
    } else {
        // The message said what went wrong; this says with which of the files.
        std::fprintf(stderr, "dewlark: %s: not measured\n", path.c_str());
    }
    CloseSource();
    FreeFormatRecord();
    ResetMeterStrip();
    return result;
}

int RunLoudnessCommand(const std::vector<std::string>& raw) {
    std::vector<std::string> args;
    bool json = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (i == 0 && raw[i] == "--loudness") continue;
        if (raw[i] == "--json") json = true;
        else if (raw[i] == "--png") return BatchFailure("--png is not an option of --loudness");
        else args.push_back(raw[i]);
    }
    BatchOptions options;
    if (!ParseBatchOptions(args, {}, options)) return 1;
    if (options.positional.empty()) return BatchFailure("usage: dewlark --loudness FILE... [--json]");

    BatchRun run;
    if (!run.Prepare(options)) return 1;
    if (json) std::printf("[");
    else std::printf("file,integrated_lufs,loudness_range_lu,true_peak_dbtp,sample_peak_dbfs,duration_s\n");
    std::fflush(stdout);
    int status = 0;
    bool first = true;
    for (const std::string& path : options.positional) {
        const FileLoudness l = MeasureFileLoudness(path);
        if (!l.measured) {
            status = 1;
            continue;
        }
        if (json) print_json(path, l, first);
        else print_csv(path, l);
        first = false;
        std::fflush(stdout);
    }
    if (json) std::printf("%s]\n", first ? "" : "\n");
    std::fflush(stdout);
    return status;
}

}  // namespace dl
