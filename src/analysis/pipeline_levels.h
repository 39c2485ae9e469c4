#pragma once
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/analysis_params.h"
#include "analysis/peak_candidates.h"

namespace dl {

// Whether the chosen level range (db_top, db_span) is in use: on the decibel scale and in the
// spectrogram; the linear amplitude scale keeps its own.
inline bool DecibelRangeOn(int db_span, bool decibel, int view) {
    return db_span > 0 && (decibel || view == kViewSpectrogram);
}
inline bool DecibelRangeOn(const AnalysisParams& params) {
    return DecibelRangeOn(params.db_span, params.Decibel, params.display);
}

// Display level of a line power already divided by the full-scale power (and tilted): the
// decibel scale, plain (0.4258 dB a step, floor 108.57 dB down) or expanded (21.7 to 76.0 dB down).
int DecibelLevel(double p, bool expand);

// The same levels without a logarithm per line: the powers from 2^-38 to 1 are cut into
// segments of 1/64 of an octave, none of which spans a whole level, so a segment's level is
// either its lowest power's level or one less above a threshold found once from the formula.
class DecibelLevelTable {
public:
    explicit DecibelLevelTable(bool expand);
    // The chosen level range: db_top at level 0, db_top - db_span at 255.
    DecibelLevelTable(int top_db, int span_db);
    // The lookup by value: a pass that stores levels (bytes, which may alias anything) keeps the
    // table's bounds and pointers in registers instead of reading them again for every line.
    class View {
    public:
        uint8_t operator()(double p) const {
            if (p >= ceiling_) return 0;
            if (!(p >= floor_)) return 255;  // the floor (every scale ends above it), or not a number
            const uint64_t bits = std::bit_cast<uint64_t>(p);
            const int exponent = int(bits >> 52) - 1023;
            const int s = ((exponent - lowest_) << kMantissaBits) | int((bits >> (52 - kMantissaBits)) & 63);
            return uint8_t(base_[s] - (p >= threshold_[s]));
        }
        // The levels of `count` powers at once, several a step where the processor can.
        void levels(const double* p, uint8_t* out, int count) const;

    private:
        friend class DecibelLevelTable;
        int lowest_ = 0;
        double floor_ = 0, ceiling_ = 1;
        const double* threshold_ = nullptr;
        const uint8_t* base_ = nullptr;
    };
    View view() const {
        View v;
        v.lowest_ = lowest_;
        v.floor_ = floor_;
        v.ceiling_ = ceiling_;
        v.threshold_ = threshold_.data();
        v.base_ = base_.data();
        return v;
    }
    uint8_t operator()(double p) const { return view()(p); }

private:
    static constexpr int kMantissaBits = 6;
    template <class Level>
    void build(int lowest_exponent, int highest_exponent, Level level);
    int lowest_ = 0;
    double floor_ = 0, ceiling_ = 1;
    std::vector<double> threshold_;
    std::vector<uint8_t> base_;
};
const DecibelLevelTable& decibel_level_table(bool expand);
// The table of the chosen level range, kept until the range changes.
class LevelRangeTable {
public:
    const DecibelLevelTable& of(int top_db, int span_db);

private:
    std::unique_ptr<DecibelLevelTable> table_;
    int top_db_ = 0, span_db_ = 0;
};

// Display levels of lines 0..n/2-1 together with the strongest line by (tilted) power, the
// lowest line among equals; power 0 and line 0 when every line is 0.
struct StrongestLine {
    double power = 0;
    int bin = 0;
};
// The strongest line and the peak list's candidates, fed one line's raw power at a time from
// line 0 up, so that any pass over the lines can gather them; tilted when asked.
class LineScan {
public:
    LineScan(int n, bool tilt, PeakCandidates* peaks) : n_(n), tilt_(tilt), peaks_(peaks) {}
    // Line k's power re^2 + im^2; returns it tilted as the scan weighs it.
    double line(int k, double raw) {
        double p = raw;
        if (tilt_) p = k == 0 ? raw * 0.5 / n_ * 16 : raw * k / n_ * 16;
        if (p > best_.power) {
            best_.power = p;
            best_.bin = k;
        }
        if (peaks_ && k > 0 && last_ > before_ && last_ > p) peaks_->offer(last_, k - 1);
        before_ = last_;
        last_ = p;
        return p;
    }
    // After the last of `lines` lines.
    StrongestLine finish(int lines) {
        if (peaks_ && lines > 0 && last_ > before_ && last_ > 0) peaks_->offer(last_, lines - 1);
        return best_;
    }

private:
    int n_;
    bool tilt_;
    PeakCandidates* peaks_;
    StrongestLine best_;
    double before_ = 0, last_ = 0;  // powers of the two lines before this one
};

// With `peaks` it also gathers the strict local maxima for a list of `wanted` peaks; with `levels`
// null it leaves the levels out.
StrongestLine ComputeLevelsAndStrongestLine(const AnalysisParams& params, LevelRangeTable& range, int n,
                                            uint8_t* levels, const double* re, const double* im,
                                            PeakCandidates* peaks = nullptr, int wanted = 0);

// The strongest of lines first..n/2-1, tilted when asked, as the scan above weighs them.
StrongestLine StrongestLineFrom(int n, bool tilt, const double* re, const double* im, int first);

// Display levels of `count` line powers already divided by the full-scale power (and tilted), on
// the scale the spectrum is drawn in.
void LevelsOfPowers(const AnalysisParams& params, LevelRangeTable& range, int count, const double* scaled,
                    uint8_t* levels);

// Calls `use` with the mapping from a line power over full scale (and tilted) to its display
// level on the scale the spectrum is drawn in, so that a pass over the lines inlines it. The
// level range's table comes from `range`.
template <class Use>
auto WithLevelMapping(const AnalysisParams& params, LevelRangeTable& range, Use use) {
    // The spectrogram's colours span the plain decibel scale, or the chosen level range.
    const bool spectrogram = params.display == kViewSpectrogram;
    if (DecibelRangeOn(params)) {
        const DecibelLevelTable& table = range.of(params.db_top, params.db_span);
        return use(table.view());
    }
    if (params.Decibel || spectrogram) return use(decibel_level_table(params.Expand && !spectrogram).view());
    const double gain = (params.Expand ? 4.0 : 1.0), tilt_gain = params.katamuki ? 4.0 : 1.0;
    return use([gain, tilt_gain](double p) {
        double a = std::sqrt(p);
        a = gain * a;
        a = tilt_gain * a;
        if (!(a >= 0)) a = 0;  // not a number
        a = std::min(a, 1.0);
        return uint8_t(int(255.5 - 255 * a));
    });
}

// Display levels of `count` powers with a mapping WithLevelMapping handed out.
template <class Level>
void LevelsOf(const double* p, uint8_t* out, int count, const Level& level) {
    for (int k = 0; k < count; ++k) out[k] = level(p[k]);
}
inline void LevelsOf(const double* p, uint8_t* out, int count, const DecibelLevelTable::View& table) {
    table.levels(p, out, count);
}

}  // namespace dl
