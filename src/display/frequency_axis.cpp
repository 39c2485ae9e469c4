#include "display/frequency_axis.h"

#include <algorithm>
#include <cmath>

#include "platform/format_text.h"
#include "resources/command_ids.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/source.h"

namespace dl {

namespace {

// Offsets far outside any axis, for lines a log axis cannot place (0 Hz and below).
constexpr double kFarLeft = -1e9;

int ColumnOf(double offset) { return int(std::floor(std::clamp(offset, kFarLeft, 1e9))); }

std::string HertzText(double hz) {
    if (hz >= 1000) return format_text("%gk", std::round(hz) / 1000);
    return format_text("%g", std::round(hz * 100) / 100);
}

}  // namespace

bool ChosenHertz(double nyquist, double& low, double& high) {
    const SettingsRecord& s = Settings;
    if ((s.freq_low <= 0 && s.freq_high <= 0) || !(nyquist > 0)) return false;
    low = std::max(s.freq_low, 0);
    high = s.freq_high > 0 ? std::min(double(s.freq_high), nyquist) : nyquist;
    return low < high;
}

FrequencyRange ChosenFrequencyRange(int bins) {
    FrequencyRange r;
    const double rate = SourceInfo.sample_rate;
    double low = 0, high = 0;
    if (bins <= 0 || !ChosenHertz(rate / 2, low, high)) return r;
    const double line_hz = rate / (2.0 * bins);
    r.whole = false;
    r.low = low / line_hz;
    r.high = high / line_hz;
    return r;
}

FrequencyAxis::FrequencyAxis(bool linear, int bins, int extent, const FrequencyRange& range)
    : linear_(linear), bins_(std::max(bins, 1)), extent_(std::max(extent, 1)), range_(range),
      lin_(bins_, extent_), log_(bins_, extent_) {
    // The log axis cannot start at 0 Hz: there it starts where the whole axis does, at line 0.5.
    if (!range_.whole && !linear_ && !(range_.low > 0)) range_.low = 0.5;
    if (!range_.whole && !(range_.high > range_.low)) range_.whole = true;
}

FrequencyAxis FrequencyAxis::OfView(int bins) {
    // The tuning line is not a frequency axis: it keeps the whole one.
    const int v = Settings.display;
    const bool ranged = v == kViewLinear || v == kViewLog;
    return FrequencyAxis(v == kViewLinear, bins, GraphWidth, ranged ? ChosenFrequencyRange(bins) : FrequencyRange{});
}

double FrequencyAxis::offset(double line) const {
    if (linear_) {
        if (range_.whole) return line * lin_.width / lin_.bins;
        return (line - range_.low) / (range_.high - range_.low) * extent_;
    }
    if (!(line > 0)) return kFarLeft;
    if (range_.whole) return log_.offset(line);
    return std::log(line / range_.low) / std::log(range_.high / range_.low) * extent_;
}

int FrequencyAxis::column(int line) const {
    if (range_.whole) return linear_ ? lin_.column(line) : line == 0 ? 0 : int(log_.offset(line));
    return ColumnOf(offset(line));
}

double FrequencyAxis::line_at(double o) const {
    if (range_.whole) return linear_ ? lin_.line_at(o) : log_.line_at(o);
    if (linear_) return range_.low + o * (range_.high - range_.low) / extent_;
    return range_.low * std::exp(o / extent_ * std::log(range_.high / range_.low));
}

std::vector<RoundFrequency> RoundFrequencies(double low, double high, bool log) {
    std::vector<RoundFrequency> out;
    if (!(low < high) || !(high > 0)) return out;
    if (log && low > 0 && high / low >= 4) {
        for (double decade = std::pow(10.0, std::floor(std::log10(low))); decade <= high; decade *= 10)
            for (double m : {1.0, 2.0, 5.0}) {
                const double f = m * decade;
                // A little slack, so that a range typed as 50 keeps its 50 line.
                if (f >= low * (1 - 1e-9) && f < high) out.push_back({f, HertzText(f)});
            }
        if (out.size() >= 3) return out;
        out.clear();
    }
    // A 1-2-5 step giving five to ten lines.
    const double raw = (high - low) / 10;
    double step = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * step >= raw) {
            step *= m;
            break;
        }
    for (double f = std::ceil(low / step - 1e-9) * step; f < high; f += step)
        if (f > 0 || !log) out.push_back({f, HertzText(f)});
    return out;
}

}  // namespace dl
