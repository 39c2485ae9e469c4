#pragma once
// The analyser: what a measurement keeps from block to block, and the measurement of one block.
// One instance per run; two instances share nothing.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/analysis_params.h"
#include "analysis/block_analysis.h"
#include "analysis/block_view.h"
#include "analysis/f0_tracker.h"
#include "analysis/level_meters.h"
#include "analysis/peak_candidates.h"
#include "analysis/peak_screen.h"
#include "analysis/pipeline_levels.h"
#include "analysis/pitch_track.h"
#include "analysis/precise_tables.h"
#include "analysis/window_table.h"

namespace dl {

// The spectrum as the measuring controls show it, per trace (the second one only for two-channel
// traces): line powers over full scale, weighted and averaged, their largest and smallest values
// held, and the display levels of all three. `lines` 0 means "start afresh at the next block".
struct MeasuredTraceRecord {
    int lines = 0;
    int64_t blocks = 0;  // averaged since the start
    std::vector<double> average;
    std::vector<float> history;       // the last blocks, `lines` values a block, for the running mean
    std::vector<double> history_sum;  // their sum per line
    int history_count = 0, history_next = 0;
    std::vector<double> max, min;
    std::vector<double> max_age, min_age;  // seconds since each held value was taken
    std::vector<uint8_t> levels, max_levels, min_levels;
};

// The transform's real and imaginary parts, N = 2^fftparam values each, laid out so the two
// arrays never share cache sets.
struct WorkArraysRecord {
    double* re = nullptr;
    double* im = nullptr;
    int n = 0;
    std::unique_ptr<double[]> storage;
};

// The strongest line of the latest spectrum; kept between ticks.
struct SpectrumPeakRecord {
    double power = 1.0;    // largest (tilted) line power of the tick
    int32_t bin = 0;       // its line
    double frequency = 0;  // Hz; kept from the last tick that had a peak
};

// Cents deviations of the last eight A4 read-outs, oldest first; above 100 means empty.
inline constexpr double kEmptyPitch = 4294967295.0;
inline constexpr int kNoHeldNote = -1000000;
struct PitchHistoryRecord {
    std::array<double, 8> cents = {kEmptyPitch, kEmptyPitch, kEmptyPitch, kEmptyPitch,
                                   kEmptyPitch, kEmptyPitch, kEmptyPitch, kEmptyPitch};
    int held_line = kNoHeldNote;  // the note (semitones from A4) of the line the block before read
};

// What the latest block of the buffers' order tracked and read as the A4, which a picture between
// them shows again (pictures do not move the tracker or the history).
struct TrackedShown {
    bool f0_voiced = false;
    double f0_frequency = 0;
    double f0_confidence = 0;
    std::string f0_note;
    double f0_cents = 0;
    double f0_inharmonicity = 0;
    double a4_frequency = 440, a4_cents = 0;
};

// The gains that take the lines' raw powers to their powers over full scale, tilted and weighted;
// empty until a block needs them, and again when the parameters they come from change.
struct LineGainsRecord {
    std::vector<double> gains;
};

class Analyser {
public:
    // The settings and the source's shape the next blocks are measured with; what was made for the
    // old ones and no longer fits is let go, to be made again when a block needs it.
    void configure(const AnalysisParams& params);
    const AnalysisParams& params() const { return params_; }

    // Level meters, spectrum and read-outs of one block, with the times it stands for; the value
    // stays until the next block. A failure (no memory, a broken precondition) comes back in it.
    const BlockAnalysis& measure(const BlockView& block);
    // The latest block's analysis.
    const BlockAnalysis& latest() const { return result; }
    // Makes the transform's arrays for 2^fftparam points (the old ones go first); false, with none,
    // when fftparam is out of reach or memory runs out.
    bool make_work_arrays(int fftparam);

    // What the measurement keeps between blocks; the display reads it, the run's start and the
    // user's resets renew parts of it.
    WorkArraysRecord work;
    // A stereo block's mean of its channels, analysed as the block's spectrum; it belongs to the
    // block only while it is measured (its room is kept).
    std::vector<uint8_t> mono_mix;
    // Display level of every line of the latest spectrum (0 full scale .. 255 floor).
    std::vector<uint8_t> levels;
    SpectrumPeakRecord peak;
    std::array<MeasuredTraceRecord, 2> traces;
    PitchHistoryRecord pitch_history;
    FundamentalTrackRecord fundamental;
    // The pictures' own tracker, on their clock, and the frame it reads.
    PitchFrameReader picture_pitch;
    std::vector<float> picture_frame;
    TrackedShown shown;
    WindowTableRecord window;
    LevelMetersRecord meters;
    BlockAnalysis result;

    // Room kept between blocks: the peak list's candidates gathered by the pass over the lines,
    // the time the block stands for, the second trace's transform, the autocorrelation's.
    PeakCandidates candidates;
    PeakCandidates listed;  // when the pass gathered none
    PeakScreen screen;
    PreciseTables precise;
    double block_seconds = 0;
    std::vector<double> second_re, second_im;
    std::vector<double> lag_values, lag_scratch;
    LineGainsRecord line_gains;
    LevelRangeTable level_range;

private:
    AnalysisParams params_;
};

}  // namespace dl
