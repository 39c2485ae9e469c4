#pragma once
// What the batch commands share: their options, the stand-in client area they draw on, and the
// CSV rows they print.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/surface.h"
#include "state/analysis.h"

namespace dl {

struct BatchOptions {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE
    std::string png;                                        // --png OUT.png
    int width = 0, height = 0;                              // --size WxH of the picture's window (0: normal)
    std::string reference_out;                              // --reference-out REF.csv
    std::string pitch_track;                                // --pitch-track OUT.csv
    std::string device;                                     // --device NAME
    double seconds = -1;                                    // --seconds S (< 0: none)
    bool defaults = false;                                  // --defaults: not the settings file
    std::vector<double> spectrum;                           // --spectrum HZ,HZ,... (none: no columns)
    std::string spectrum_text;                              // as given, for the worker processes
    // Many files at once (--analyse): any of these options asks for that form.
    bool many = false;
    unsigned jobs = 0;            // --jobs N (0: one a core)
    bool summary = false;         // --summary: one row a file
    std::string format = "csv";   // --format csv|jsonl
    std::string out_dir;          // --out DIR: each file's rows into a file of its own there
    std::string files_from;       // --files-from LIST ("-": standard input)
    bool null_separated = false;  // --null, -0: the list's names are each ended by a NUL byte
    bool quiet = false;           // --quiet: no progress
    bool header = true;           // --no-header: rows only, for merging the output of many runs
    bool worker = false;          // --worker: one of a run's worker processes
};

// The options that ask for the many-file form.
const std::vector<std::string>& ManyFileOptions();

// Reads the options; the ones in `allowed` besides --set, --png, --size and --defaults ("--device", "--seconds").
// "--" ends them: every argument after it is a file. False after saying what is wrong on standard
// error (the run then ends with kUsageStatus, before any work).
bool ParseBatchOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
                       BatchOptions& out);

// Sets the run's --set overrides (readable names or the file's keys) in Settings; false after a
// message when one is unknown or takes no such value.
bool ApplySettingOverrides(const BatchOptions& options, std::vector<std::string>* corrections = nullptr);
// The same check before any work, the settings left as they were: false after a message.
bool CheckSettingOverrides(const BatchOptions& options);

// A batch run's surroundings, undone however the run ends: the off-screen application, messages
// on standard error, the settings with the run's overrides, the client area it draws on.
class BatchRun {
public:
    BatchRun();
    ~BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // Settings and overrides, layout units and the client area; false after a message.
    bool Prepare(const BatchOptions& options);
    // What a paint of the main window draws.
    void Paint();
    // The client area as it stands into a PNG file, when one was asked for; false after a message.
    bool SavePicture(const BatchOptions& options);

private:
    std::unique_ptr<Surface> client_;
};

// The CSV the batch commands print: a header, then one row per analysed block. The spectrum
// columns (the shown level in dB at each of `spectrum`'s frequencies) follow the others when asked;
// SpectrumFields reads them off the latest block, so they are taken as the block is analysed.
std::string CsvHeader(const std::vector<double>& spectrum = {});  // without the line's end
void PrintCsvHeader(const std::vector<double>& spectrum = {});
std::vector<std::string> SpectrumFields(const BlockAnalysis& a, const std::vector<double>& spectrum);
// One block's fields as the header names them, and its row (without the line's end).
std::vector<std::string> CsvFields(double seconds, const BlockAnalysis& a, const std::vector<std::string>& spectrum = {});
std::string CsvRow(double seconds, const BlockAnalysis& a, const std::vector<std::string>& spectrum = {});
void PrintCsvRow(double seconds, const BlockAnalysis& a, const std::vector<std::string>& spectrum = {});

// A message on standard error; returns the failure status 1.
int BatchFailure(const std::string& text);

// A name a file can be written to: nothing there yet, or a regular file (through links).
bool WritableName(const std::string& path);

// The status of a command line that cannot be acted on: options unknown, values not allowed,
// options that cannot go together.
inline constexpr int kUsageStatus = 2;
// A message on standard error; returns kUsageStatus.
int BatchUsageError(const std::string& text);

}  // namespace dl
