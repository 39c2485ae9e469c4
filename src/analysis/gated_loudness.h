#pragma once
// The gated loudness measures from each frame's K-weighted energy (KWeighting): the integrated
// loudness from blocks of 400 ms starting every 100 ms, those above -70 LUFS and above 10 LU below
// their mean; the loudness range from the short-term values (3 s, one a second) between their 10th
// and 95th percentiles, of those above -70 LUFS and above 20 LU below their mean.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

class GatedLoudness {
public:
    // `range`: the short-term values are kept too. `bounded`: the values are kept as counts in
    // classes of 0.1 LU, in the same room however long the sound runs; otherwise each value is kept.
    GatedLoudness(uint32_t rate, bool range, bool bounded);

    // The weighted energies of the next frames. False when there was no room to keep a value (the
    // measurement then lacks it).
    bool add(const double* energy, size_t count);
    void reset();

    // LUFS; -infinity when no block passes the gates.
    double integrated() const;
    // LU; 0 when no short-term value passes the gates.
    double range() const;

private:
    bool keep(double energy, std::vector<double>& values, std::vector<uint64_t>& classes);
    void end_tenth();
    double measure_integrated() const;
    double measure_range() const;

    size_t frames_100ms_;
    bool range_, bounded_;
    std::array<double, 30> tenth_{};  // the sums of the last 30 tenths of a second, a ring
    uint64_t tenths_ = 0;             // whole tenths so far
    double open_sum_ = 0;             // the tenth under way
    size_t in_open_ = 0;
    std::vector<double> blocks_, short_terms_;          // each value kept
    std::vector<uint64_t> block_classes_, short_classes_;  // or the counts in each class
    // The last reads, until a value is kept: the meter reads every tick, the gates change every tenth.
    mutable bool integrated_known_ = false, range_known_ = false;
    mutable double integrated_ = 0, range_value_ = 0;
};

}  // namespace dl
