#include "analysis/pipeline_levels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "analysis/peak_candidates.h"
#include "analysis/pipeline.h"
#include "resources/command_ids.h"
#include "state/settings.h"

namespace dl {

int DecibelLevel(double p, bool expand) {
    double v = p > 1e-30 ? 0.04 * std::log(p) : -1;
    if (!expand) {
        v = std::clamp(v, -1.0, 0.0);
        return int(-255 * v);
    }
    v = std::clamp(v, -0.7, -0.2);
    return int(-510 * (v + 0.2) + 0.49);
}

// Levels from 2^lowest_exponent up to 2^highest_exponent; `level` must not rise with the power.
template <class Level>
void DecibelLevelTable::build(int lowest_exponent, int highest_exponent, Level level) {
    lowest_ = lowest_exponent;
    floor_ = std::ldexp(1.0, lowest_exponent);
    ceiling_ = std::ldexp(1.0, highest_exponent);
    const int segments = (highest_exponent - lowest_exponent) << kMantissaBits;
    threshold_.resize(size_t(segments));
    base_.resize(size_t(segments));
    const uint64_t first = std::bit_cast<uint64_t>(floor_);
    const uint64_t step = uint64_t(1) << (52 - kMantissaBits);
    for (int s = 0; s < segments; ++s) {
        const uint64_t lo = first + uint64_t(s) * step, hi = lo + step;  // hi exclusive
        const int base = level(std::bit_cast<double>(lo));
        base_[size_t(s)] = uint8_t(base);
        // The lowest power of the segment whose level is below the base, if any.
        uint64_t a = lo, b = hi;
        while (a < b) {
            const uint64_t mid = a + (b - a) / 2;
            if (level(std::bit_cast<double>(mid)) < base) b = mid;
            else a = mid + 1;
        }
        threshold_[size_t(s)] = std::bit_cast<double>(a);  // == hi: no step inside
    }
}

DecibelLevelTable::DecibelLevelTable(bool expand) {
    build(-38, 0, [expand](double p) { return DecibelLevel(p, expand); });
}

// A segment is 1/64 octave (0.047 dB); the narrowest span (20 dB) gives 0.078 dB a level, so no
// segment spans a whole level here either.
DecibelLevelTable::DecibelLevelTable(int top_db, int span_db) {
    const double top = top_db, span = std::max(span_db, kMinDbSpan);
    const double log2_per_db = std::log2(10.0) / 10;
    const int highest = int(std::ceil(top * log2_per_db)) + 1;
    const int lowest = int(std::floor((top - span) * log2_per_db)) - 1;
    build(lowest, highest, [top, span](double p) {
        const double depth = (top - 10 * std::log10(p)) * 255 / span;
        return int(std::clamp(depth, 0.0, 255.0));
    });
}

const DecibelLevelTable& decibel_level_table(bool expand) {
    static const DecibelLevelTable plain(false), expanded(true);
    return expand ? expanded : plain;
}

const DecibelLevelTable& decibel_range_table(int top_db, int span_db) {
    static DecibelLevelTable table(0, kMaxDbSpan);
    static int top = 0, span = kMaxDbSpan;
    if (top != top_db || span != span_db) {
        table = DecibelLevelTable(top_db, span_db);
        top = top_db;
        span = span_db;
    }
    return table;
}

namespace {

// One pass over lines 0..n/2-1: the level of each line from its power over full scale, the
// strongest line by its power (both tilted when asked), and when `peaks` is given the strict
// local maxima of the powers for the peak list. Without `levels` (the measuring controls draw
// levels of their own) only the strongest line and the candidates.
template <bool Tilt, bool Levels, class Level>
StrongestLine scan_lines(int n, uint8_t* levels, const double* re, const double* im, Level level,
                         PeakCandidates* peaks) {
    const int half = n / 2;
    const double ref = PowerReference();
    LineScan scan(n, Tilt, peaks);
    for (int k = 0; k < half; ++k) {
        const double raw = re[k] * re[k] + im[k] * im[k];
        scan.line(k, raw);
        if constexpr (Levels) {
            double scaled = raw / ref;
            if constexpr (Tilt) scaled = k == 0 ? scaled * 0.5 / n * 16 : scaled * k / n * 16;
            levels[k] = level(scaled);
        }
    }
    return scan.finish(half);
}

template <class Level>
StrongestLine scan_lines(int n, uint8_t* levels, const double* re, const double* im, Level level,
                         PeakCandidates* peaks) {
    if (!levels)
        return Settings.katamuki ? scan_lines<true, false>(n, levels, re, im, level, peaks)
                                 : scan_lines<false, false>(n, levels, re, im, level, peaks);
    return Settings.katamuki ? scan_lines<true, true>(n, levels, re, im, level, peaks)
                             : scan_lines<false, true>(n, levels, re, im, level, peaks);
}

}  // namespace

StrongestLine ComputeLevelsAndStrongestLine(int n, uint8_t* levels, const double* re, const double* im,
                                            PeakCandidates* peaks, int wanted) {
    if (peaks) peaks->begin(wanted, std::numeric_limits<double>::infinity());
    const StrongestLine best =
        WithLevelMapping([&](auto level) { return scan_lines(n, levels, re, im, level, peaks); });
    if (peaks) peaks->end();
    return best;
}

void LevelsOfPowers(int count, const double* scaled, uint8_t* levels) {
    WithLevelMapping([&](auto level) {
        for (int k = 0; k < count; ++k) levels[k] = level(scaled[k]);
        return 0;
    });
}

}  // namespace dl
