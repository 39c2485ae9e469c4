#include "app/loudness_command.h"

#include <cmath>
#include <cstdio>

#include "analysis/meter_strip.h"
#include "app/batch_analyse.h"
#include "app/batch_rows.h"
#include "app/batch_run.h"
#include "app/file_list.h"
#include "app/json_text.h"
#include "app/standard_output.h"
#include "audio/source.h"
#include "platform/format_text.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace dl {

namespace {

double decibels(double fraction) { return fraction > 0 ? 20 * std::log10(fraction) : kSilentDb; }

// A value for the CSV (empty when there is none) and for JSON (null).
std::string csv_number(double v, int decimals) { return std::isfinite(v) ? format_text("%.*f", decimals, v) : ""; }
std::string json_number(double v, int decimals) { return std::isfinite(v) ? format_text("%.*f", decimals, v) : "null"; }

void print_csv(const std::string& path, const FileLoudness& l) {
    WriteOutput(CsvField(path) + "," + csv_number(l.integrated, 2) + "," + csv_number(l.range, 2) + "," +
                csv_number(l.true_peak, 2) + "," + csv_number(l.sample_peak, 2) + "," + csv_number(l.seconds, 3) + "\n");
}

void print_json(const std::string& path, const FileLoudness& l, bool first) {
    // A name that is not UTF-8 cannot be written as it is: its bytes go beside it.
    const std::string raw = ValidUtf8(path) ? std::string() : ", \"file_base64\": \"" + Base64(path) + "\"";
    WriteOutput(std::string(first ? "" : ",") + "\n  {\"file\": " + JsonString(path) + raw +
                ", \"integrated_lufs\": " + json_number(l.integrated, 2) + ", \"loudness_range_lu\": " +
                json_number(l.range, 2) + ", \"true_peak_dbtp\": " + json_number(l.true_peak, 2) +
                ", \"sample_peak_dbfs\": " + json_number(l.sample_peak, 2) +
                ", \"duration_s\": " + json_number(l.seconds, 3) + "}");
}

}  // namespace

FileLoudness MeasureFileLoudness(const std::string& path) {
    FileLoudness result;
    FileName = path;
    ChooseSource(SourceMode::File);
    if (OpenSource() == Result::Done) {
        // The whole sound, streamed: memory mode would hold only its first part.
        const int on_memory = Settings.OnMem;
        Settings.OnMem = 0;
        LoudnessScan = true;
        const bool played = AnalyseOpenSource(nullptr) && !PlayEndedEarly;
        LoudnessScan = false;
        Settings.OnMem = on_memory;
        const LevelMetersRecord& m = RunAnalyser.meters;
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
            std::fprintf(stderr, "dewlark: %s: no room to measure the loudness\n", shown_name(path).c_str());
        } else {
            std::fprintf(stderr, "dewlark: %s: the sound cannot be measured\n", shown_name(path).c_str());
        }
    } else {
        // The message said what went wrong; this says with which of the files.
        std::fprintf(stderr, "dewlark: %s: not measured\n", shown_name(path).c_str());
    }
    CloseSource();
    FreeFormatRecord();
    ResetMeterStrip(RunAnalyser.meters);
    return result;
}

int RunLoudnessCommand(const std::vector<std::string>& raw) {
    std::vector<std::string> args;
    bool json = false;
    bool options_ended = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (i == 0 && raw[i] == "--loudness") continue;
        if (raw[i] == "--") options_ended = true;
        if (!options_ended && raw[i] == "--json") json = true;
        else if (!options_ended && raw[i] == "--png") return BatchUsageError("--png is not an option of --loudness");
        else args.push_back(raw[i]);
    }
    BatchOptions options;
    if (!ParseBatchOptions(args, {}, options)) return kUsageStatus;
    if (options.positional.empty()) return BatchUsageError("usage: dewlark --loudness FILE|FOLDER... [--json]");
    if (!CheckSettingOverrides(options)) return kUsageStatus;

    // Folders are walked for the sound files under them, as a many-file analysis walks them.
    std::vector<ListedFile> files;
    for (const std::string& path : options.positional) AddListedPath(path, files);
    if (files.empty()) return BatchFailure("dewlark: no sound files to measure");

    BatchRun run;
    if (!run.Prepare(options)) return 1;
    WriteOutput(json ? "[" : "file,integrated_lufs,loudness_range_lu,true_peak_dbtp,sample_peak_dbfs,duration_s\n");
    FlushOutput();
    int status = 0;
    bool first = true;
    for (const ListedFile& file : files) {
        if (OutputFailed()) break;
        const std::string& path = file.path;
        if (!file.error.empty()) {
            std::fprintf(stderr, "dewlark: %s: %s\n", shown_name(path).c_str(), file.error.c_str());
            status = 1;
            continue;
        }
        const FileLoudness l = MeasureFileLoudness(path);
        if (!l.measured) {
            status = 1;
            continue;
        }
        if (json) print_json(path, l, first);
        else print_csv(path, l);
        first = false;
        FlushOutput();
    }
    if (json) WriteOutput(first ? "]\n" : "\n]\n");
    FlushOutput();
    return status;
}

}  // namespace dl
