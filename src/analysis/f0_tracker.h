#pragma once
// The fundamental-frequency tracker: the note a voice or an instrument sounds, found from the
// periodicity of the block (so a weak or missing fundamental still names the note heard), refined
// from the harmonics' precise frequencies, kept on its octave from block to block, and silent on
// noise, silence and chords it cannot resolve.
#include <cstdint>
#include <vector>

#include "analysis/block_analysis.h"

namespace dl {

inline constexpr double kLowestFundamental = 30;    // Hz
inline constexpr double kHighestFundamental = 4000;  // Hz

// The tracker's view of one mono block: its samples (16-bit little-endian when `wide`, else
// unsigned 8-bit; or `mono`, fractions of full scale, when given), the rate, and the tick's spectrum of its start (re/im lines 0..n/2-1, window
// `type`), and the A4 its notes are named against (tenths of a hertz). Fills the f0 fields of `out`
// and remembers the note for the next block.
struct TrackerInput {
    const uint8_t* data = nullptr;
    int samples = 0;
    bool wide = true;
    double rate = 0;
    const double* re = nullptr;
    const double* im = nullptr;
    int n = 0;
    int type = 0;
    int reference_a4 = 4400;
    const float* mono = nullptr;
    // The notes it names, Hz.
    double lowest = kLowestFundamental;
    double highest = kHighestFundamental;
};

// The tracker's memory between blocks of one run: the note it followed last, so a steady note does
// not jump an octave; and the room its work takes, kept between blocks.
struct FundamentalTrackRecord {
    bool voiced = false;
    double frequency = 0;       // Hz
    double inharmonicity = 0;   // a stiff string's B, 0 for a harmonic note
    double b_span = 0;          // the span of partials (highest over lowest) B was fitted on
    struct Harmonic {
        int h, line;
        double power;
    };
    std::vector<double> x, prefix, re, im, d, cmnd;
    std::vector<Harmonic> found;
};
class PreciseTables;
void TrackFundamental(FundamentalTrackRecord& track, PreciseTables& tables, const TrackerInput& in,
                      BlockAnalysis& out);

// Forgets the note followed so far (a new run starts).
void ResetFundamentalTrack(FundamentalTrackRecord& track);

}  // namespace dl
