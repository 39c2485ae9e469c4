#pragma once
#include <string>
#include <vector>

#include "state/analysis.h"

namespace dl {

// The loudness of one whole sound file, decoded as playback decodes it.
struct FileLoudness {
    bool measured = false;            // false: the file could not be opened or decoded (said on stderr)
    double integrated = kSilentDb;    // LUFS; -infinity when nothing is above the gate
    double range = 0;                 // LU
    double true_peak = kSilentDb;     // dBTP
    double sample_peak = kSilentDb;   // dBFS
    double seconds = 0;               // of sound measured
};

// Measures the file at `path` inside a prepared batch run (BatchRun::Prepare); the source is closed
// again afterwards, so that files can follow each other.
FileLoudness MeasureFileLoudness(const std::string& path);

// dewlark --loudness FILE|FOLDER... [--json]: per file (a folder: the sound files under it, sorted
// by path) the integrated loudness, loudness range, true and sample peak and duration, as CSV with
// a header or as a JSON array. Returns the exit status: 1 when a file could not be measured or a
// folder read (the others are printed).
int RunLoudnessCommand(const std::vector<std::string>& args);

}  // namespace dl
