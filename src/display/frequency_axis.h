#pragma once
#include <string>
#include <vector>

#include "display/graph_area.h"

namespace dl {

// The chosen frequency range in lines of a `bins`-line spectrum: whole when none is chosen (or
// the source cannot give it), else low < high, both within 0 .. bins.
struct FrequencyRange {
    bool whole = true;
    double low = 0, high = 0;
};
FrequencyRange ChosenFrequencyRange(int bins);
// The range the settings ask for in Hz, clipped to a source of `nyquist` Hz; false when none is
// chosen or nothing of it is left.
bool ChosenHertz(double nyquist, double& low, double& high);

// Frequency (as a fractional line of a `bins`-line spectrum) against pixel offset along an axis of
// `extent` pixels, linear or logarithmic. Without a range both are the axes as they always were:
// LinearAxis's columns and LogAxis's offsets; with one, `low` lies at offset 0 and `high` at
// `extent`.
class FrequencyAxis {
public:
    FrequencyAxis(bool linear, int bins, int extent, const FrequencyRange& range);
    // The axis of the current view across the graph's width: linear, else log (the range only on
    // the linear and log views).
    static FrequencyAxis OfView(int bins);

    bool ranged() const { return !range_.whole; }
    bool linear() const { return linear_; }
    int extent() const { return extent_; }
    // Offset of a line position; may lie outside 0 .. extent.
    double offset(double line) const;
    // The column of an integer line's trace point or bar, as the layout places it.
    int column(int line) const;
    // The line position at `offset`.
    double line_at(double offset) const;
    // Whether a line falls within the axis's extent.
    bool shows(double line) const {
        const double o = offset(line);
        return o >= 0 && o < extent_;
    }
    double low() const { return range_.low; }
    double high() const { return range_.high; }

private:
    bool linear_;
    int bins_, extent_;
    FrequencyRange range_;
    LinearAxis lin_;
    LogAxis log_;
};

// Round frequencies for the grid and labels of a chosen range of low .. high Hz (low < high):
// 1-2-5 steps on a log axis over a wide enough range, else multiples of a round step giving a
// handful of lines.
struct RoundFrequency {
    double hz;
    std::string text;
};
std::vector<RoundFrequency> RoundFrequencies(double low, double high, bool log);

}  // namespace dl
