#pragma once
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "platform/decode_stream.h"
#include "state/analysis.h"

namespace dl {

// dewlark --analyse FILE [--set KEY=VALUE]... [--png OUT.png]: plays FILE through a device without
// sound as fast as the machine allows and prints one CSV row per analysed block. Returns the exit
// status.
int RunAnalyseCommand(const std::vector<std::string>& args);

// One analysed block and when it starts (seconds).
struct AnalysedBlock {
    double seconds = 0;
    BlockAnalysis analysis;
    std::vector<std::string> spectrum;  // --spectrum's fields, taken as the block was analysed
};
// What a whole sound measures, at the width the file holds it.
struct SoundFigures {
    bool measured = false;
    double seconds = 0;  // of sound decoded
    double peak = 0;     // the largest magnitude, full scale 1 (floats may pass it)
    double rms = 0;      // the root of the mean power of every sample
    double lufs = -HUGE_VAL;  // integrated loudness; -infinity for silence or where not measured
};

// A file's blocks in order, and what its format record says.
struct AnalysedFile {
    std::vector<AnalysedBlock> blocks;
    double seconds = 0;  // the sound's length: as decoded when the sound was measured
    SoundFigures sound;  // with --summary
    uint16_t format_tag = 0;
    unsigned sample_rate = 0, channels = 0;
    // With --reference-out: the mean power of each line over every block's spectrum, as shown.
    std::vector<double> mean_power;
    int n = 0;
};

// Opens and analyses one file as --analyse FILE does, in surroundings of its own that are undone
// at the end, and hands its blocks to `on_rows` once it has been analysed (not when it could not
// be opened); with --summary every sample decoded is measured too. Messages go to standard error;
// returns the exit status.
int AnalyseFile(const BatchOptions& options, const std::string& path,
                const std::function<void(const AnalysedFile&)>& on_rows);

// What a stream's damage was, for a message ("skipped 417 bytes of damaged data in 1 place (at
// 2.35 s); ..."); empty when there was none. `rate`: of the decoded sound.
std::string DamageText(const StreamDamage& damage, uint32_t rate);

// Plays the open source through the device without sound, handing each analysed block and its
// start (seconds) to `observer`; stops after `most_buffers` played buffers (0: at the end). False
// when the play did not start.
bool AnalyseOpenSource(const std::function<void(double, const BlockAnalysis&)>& observer, size_t most_buffers = 0);

}  // namespace dl
