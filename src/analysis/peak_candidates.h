#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

namespace dl {

// The peaks of a spectrum after the first, strongest first: the strict local maxima of the
// line powers (lines outside the spectrum count as 0). A pass over the lines keeps only the
// strongest few in a small heap; when a long list uses them up, another pass keeps every maximum
// below the last one taken and hands them out from a heap of them all.
class PeakCandidates {
public:
    // Starts a pass keeping up to about twice `wanted` maxima below `limit`; every one when
    // `wanted` is negative.
    void begin(int wanted, double limit);
    // Line `bin` with power `p`, a strict local maximum (the caller checks).
    void offer(double p, int bin) {
        if (p > floor_) {
            if (p < limit_) insert(p, bin);
        } else if (p == floor_ && p < limit_) {
            more_ = true;  // an equal of the weakest kept, left for another pass
        }
    }
    // Below this nothing offered is kept or counted: the weakest kept once the pass is full.
    double floor() const { return floor_; }
    // Ends the pass: the kept maxima become the ones handed out.
    void end();

    // Whether the pass may have cut off maxima below the kept ones.
    bool incomplete() const { return more_; }
    // The strongest kept maximum strictly weaker than `below`; false when none is kept.
    bool next(double below, double& power, int& bin);

private:
    struct Entry {
        double power;
        int bin;
    };
    // Stronger first; among equals the lower line, as a scan from the bottom finds it.
    static bool stronger(const Entry& x, const Entry& y) {
        return x.power > y.power || (x.power == y.power && x.bin < y.bin);
    }
    static bool weaker(const Entry& x, const Entry& y) { return stronger(y, x); }
    void insert(double p, int bin);

    bool whole_ = false;  // the pass keeps every maximum; heap_ hands them out strongest first
    size_t capacity_ = 16;
    double limit_ = 0;
    double floor_ = -1;  // the weakest kept power once the heap is full
    bool more_ = false;
    size_t taken_ = 0;
    std::vector<Entry> heap_, ready_;
};

}  // namespace dl
