#pragma once
// The meter strip's meters (the bars on a dB scale, the channels' peak and RMS figures, the
// loudness): what they remember from block to block.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/block_analysis.h"
#include "analysis/weighting.h"
#include "analysis/loudness_meter.h"

namespace dl {

// Values of level_meter.
inline constexpr int kMeterPeakAlone = 0, kMeterStrip = 1, kMeterStripLoudness = 2;

// Values of meter_ballistics: how the strip's bars rise and fall.
enum class Ballistics : int {
    SamplePeak = 0,  // the largest sample of each block
    Rms = 1,         // the root mean square of the last 300 ms
    PpmTypeI = 2,    // quasi-peak, 5 ms to integrate, 20 dB down in 1.5 s
    PpmTypeIIb = 3,  // quasi-peak, 10 ms to integrate, 24 dB down in 2.8 s
    Vu = 4,          // the mean of the rectified wave, 99 % of a step in 300 ms
};
inline constexpr int kBallisticsCount = 5;

// How one kind of bar moves at one sample rate. Every kind reads a steady sine at its peak level,
// so the kinds differ only in how they follow changes.
struct BallisticConstants {
    Ballistics kind = Ballistics::SamplePeak;
    double attack = 1;     // PPM: the share of the distance to a higher sample closed per sample
    double fall = 1;       // PPM: the factor per sample while the wave stays below the reading
    double gain = 1;       // what makes a steady sine read its peak
    double vu[2][2] = {};  // VU: the pointer's position and speed from one sample to the next
    double vu_in[2] = {};  // and what the sample adds to them
    size_t window = 1;     // RMS: samples in 300 ms
};

// One channel's bar between samples; what the numbers in it mean depends on the ballistics.
struct BallisticState {
    double envelope = 0;  // the reading, as a fraction of full scale
    double speed = 0;     // the VU pointer's speed
    // RMS: the squares of the last 300 ms, a ring, and their sum (exact in integers).
    std::vector<int64_t> squares;
    size_t next = 0;
    int64_t sum = 0;
};

struct LevelMetersRecord {
    // The layout the meters were made for; made again when a block brings another.
    bool configured = false;
    int channels = 0;
    uint32_t rate = 0;
    int ballistics = -1;
    unsigned loudness_parts = 0;
    bool exact = false;  // the loudness of a whole file, not of a run without end

    // Bytes of the sound metered so far: a block that repeats some of them meters only the rest.
    uint64_t metered_end = 0;
    // The bars' and the RMS figures' constants for that layout.
    BallisticConstants bar_kind, rms_kind, peak_kind;
    std::array<BallisticState, 2> bar{}, rms{};
    std::array<double, 2> held{};      // the bar's held reading (fraction of full scale)
    std::array<double, 2> held_age{};  // seconds of sound since it was set
    std::array<double, 2> peak{};      // the largest sample since the start or a reset
    std::unique_ptr<LoudnessMeter> loudness;
    uint64_t loudness_frames = 0;  // frames measured since the start or a reset
    // What the meters read after the last block, for a repaint.
    MeterStripReading last;
    // The bars' filters when the meter is weighted, one a channel.
    std::array<WeightingFilter, 2> filters{};
    // The block's samples as 16-bit values, and weighted; their room is kept between blocks.
    std::vector<int16_t> samples, weighted;
};

}  // namespace dl
