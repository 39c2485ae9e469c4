#pragma once
#include <cstdint>
#include <vector>

namespace dl {

// Display level of a line power already divided by the full-scale power (and tilted): the
// decibel scale, plain (0.4258 dB a step, floor 108.57 dB down) or expanded (21.7 to 76.0 dB down).
int DecibelLevel(double p, bool expand);

// The same levels without a logarithm per line: the powers from 2^-38 to 1 are cut into
// segments of 1/64 of an octave, none of which spans a whole level, so a segment's level is
// either its lowest power's level or one less above a threshold found once from the formula.
class DecibelLevelTable {
public:
    explicit DecibelLevelTable(bool expand);
    uint8_t operator()(double p) const;

private:
    static constexpr int kMantissaBits = 6;
    static constexpr int kLowestExponent = -38;
    static int segment(double p);
    bool expand_;
    std::vector<double> threshold_;
    std::vector<uint8_t> base_;
};
const DecibelLevelTable& decibel_level_table(bool expand);

// Display levels of lines 0..n/2-1 together with the strongest line by (tilted) power, the
// lowest line among equals; power 0 and line 0 when every line is 0.
struct StrongestLine {
    double power = 0;
    int bin = 0;
};
// With `peaks` it also gathers the strict local maxima for a list of `wanted` peaks.
class PeakCandidates;
StrongestLine ComputeLevelsAndStrongestLine(int n, uint8_t* levels, const double* re, const double* im,
                                            PeakCandidates* peaks = nullptr, int wanted = 0);

// Display levels of `count` line powers already divided by the full-scale power (and tilted), on
// the scale the spectrum is drawn in.
void LevelsOfPowers(int count, const double* scaled, uint8_t* levels);

}  // namespace dl
