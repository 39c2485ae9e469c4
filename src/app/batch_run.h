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
    std::string device;                                     // --device NAME
    double seconds = -1;                                    // --seconds S (< 0: none)
    std::vector<double> spectrum;                           // --spectrum HZ,HZ,... (none: no columns)
};

// Reads the options; the ones in `allowed` besides --set and --png ("--device", "--seconds").
// False after saying what is wrong on standard error.
bool ParseBatchOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
                       BatchOptions& out);

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
// SpectrumColumns reads them off the latest block, so they are taken as the block is analysed.
void PrintCsvHeader(const std::vector<double>& spectrum = {});
void PrintCsvRow(double seconds, const BlockAnalysis& a, const std::string& spectrum = {});
std::string SpectrumColumns(const BlockAnalysis& a, const std::vector<double>& spectrum);

// A message on standard error; returns the failure status 1.
int BatchFailure(const std::string& text);

}  // namespace dl
