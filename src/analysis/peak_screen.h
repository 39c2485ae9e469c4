#pragma once
// Which maxima of a spectrum the precise estimator's peak list labels: tones that stand out of
// their surroundings; not the mean's line, not a line below what the block resolves, not a side
// lobe of a stronger maximum.
#include <utility>
#include <vector>

namespace dl {

class PreciseTables;

class PeakScreen {
public:
    // Starts on the spectrum (re/im, lines 0..n/2-1) of a block of `samples` samples weighted by
    // window `type`, read with `tables` until the next start. The screen keeps its buffers from tick
    // to tick.
    void start(PreciseTables& tables, const double* re, const double* im, int n, int samples, int type);

    // Maxima are offered strongest first; true when the one at line b is a tone's. The tones admitted
    // and what stands below the resolved lines count as stronger ones for the later maxima.
    bool admits(int b);

private:
    PreciseTables* tables_ = nullptr;
    const double* re_ = nullptr;
    const double* im_ = nullptr;
    int half_ = 0;
    double per_bin_ = 1, lobe_lines_ = 1, lowest_ = 1;
    int type_ = 0, samples_ = 0, n_ = 0;
    int stretch_ = 128;
    std::vector<std::pair<int, double>> stronger_;
    int stretches_ = 0;  // 0: not yet worked out this tick
};

}  // namespace dl
