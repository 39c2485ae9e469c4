#pragma once
// The spectra held as references, drawn behind the live one, and the log of what the window has
// analysed since Start.
// Written by: app (hold, clear, load; the window's observer)
// Read by: display, app
#include <cstdint>
#include <string>
#include <vector>

namespace dl {

// One held spectrum: its level in dB at each frequency, as the graph showed it, and the rate and
// transform size it was taken at (0 when it came from a file that does not say).
struct ReferenceSpectrum {
    std::string name;
    double rate = 0;
    int n = 0;
    std::vector<double> frequencies;  // Hz, rising
    std::vector<double> decibels;
};

inline constexpr size_t kMostReferences = 4;
struct ReferencesRecord {
    std::vector<ReferenceSpectrum> held;  // oldest first
    // Counts every change, so what is drawn from them is made again only after one.
    uint32_t generation = 0;
};
inline ReferencesRecord References;

// The rows the batch command would print for every block analysed since the window's last Start.
struct AnalysisLogRecord {
    std::vector<std::string> rows;
};
inline AnalysisLogRecord AnalysisLog;

}  // namespace dl
