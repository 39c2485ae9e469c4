#include "analysis/measured_spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/analyser.h"
#include "analysis/pipeline.h"
#include "analysis/pipeline_levels.h"
#include "analysis/weighting.h"

namespace dl {

namespace {

// The gain that takes a line's raw power to its power over full scale, tilted as the levels are
// and weighted; kept while the block size, rate, sample width, tilt and weighting stay.
const double* LineGains(LineGainsRecord& c, const AnalysisParams& params, int n) {
    std::vector<double>& gains = c.gains;
    if (gains.size() == size_t(n / 2)) return gains.data();
    const double rate = params.sample_rate, ref = PowerReference(params);
    const int tilt = params.katamuki != 0, weighting = params.weighting;
    const int half = n / 2;
    gains.assign(size_t(half), 1.0 / ref);
    if (tilt) {
        gains[0] *= 0.5 / n * 16;
        for (int k = 1; k < half; ++k) gains[size_t(k)] *= double(k) / n * 16;
    }
    if (weighting != 0) {
        const std::vector<double> w = WeightingPowerGains(Weighting(weighting), n, rate);
        for (int k = 0; k < half; ++k) gains[size_t(k)] *= w[size_t(k)];
    }
    return gains.data();
}

// Holds are kept for the first trace alone, the one they are drawn for.
void Start(const AnalysisParams& params, MeasuredTraceRecord& t, int lines, bool holds) {
    t = MeasuredTraceRecord{};
    t.lines = lines;
    t.average.assign(size_t(lines), 0.0);
    t.levels.assign(size_t(lines), 255);
    if (params.averaging == 2) {
        t.history.assign(size_t(lines) * size_t(params.average_blocks), 0.0f);
        t.history_sum.assign(size_t(lines), 0.0);
    }
    if (params.max_hold && holds) {
        t.max.assign(size_t(lines), 0.0);
        t.max_age.assign(size_t(lines), 0.0);
        t.max_levels.assign(size_t(lines), 255);
    }
    if (params.min_hold && holds) {
        t.min.assign(size_t(lines), 0.0);
        t.min_age.assign(size_t(lines), 0.0);
        t.min_levels.assign(size_t(lines), 255);
    }
}

// Whether the record was started for the controls as they are now.
bool Fits(const AnalysisParams& params, const MeasuredTraceRecord& t, int lines, bool holds) {
    return t.lines == lines && (params.averaging == 2) == !t.history.empty() &&
           (params.averaging != 2 || t.history.size() == size_t(lines) * size_t(params.average_blocks)) &&
           (params.max_hold && holds) == !t.max.empty() && (params.min_hold && holds) == !t.min.empty();
}

enum class Averaging { Off = 0, Exponential = 1, Linear = 2, Infinite = 3 };

// What one block's pass needs besides the trace: the weight of the new block in the average (or,
// for the linear mean, the share of each block in the ring), and how long a held value stays
// (0: for ever).
struct BlockStep {
    double weight = 1;
    double hold = 0;
    double seconds = 0;
    bool first = false;
    bool ring_full = false;
};

// A held value is taken over when the new one passes it, or (Timed) when it has been held
// `hold` seconds; held for ever, its age is not kept.
template <bool Larger, bool Timed, class Level>
inline void Hold(double v, double& held, double& age, uint8_t& level, const BlockStep& s, Level to_level) {
    if (s.first || (Larger ? v > held : v < held) || (Timed && age + s.seconds > s.hold)) {
        held = v;
        if constexpr (Timed) age = 0;
        level = to_level(v);
    } else if constexpr (Timed) {
        age += s.seconds;
    }
}

// A pass over the lines for each line's power and average (with Scan, the strongest line and the
// peak list's candidates too), then one for the levels, and one for the holds and theirs.
template <Averaging Mode, bool Max, bool Min, bool Timed, bool Scan, class Level>
void MeasureLines(MeasuredTraceRecord& t, const double* re, const double* im, const double* gain,
                  const BlockStep& step, Level to_level, LineScan* line_scan) {
    const BlockStep s = step;
    // A copy the loop can keep in registers.
    LineScan scan = Scan ? *line_scan : LineScan(0, false, nullptr);
    const int lines = t.lines;
    double* avg = t.average.data();
    uint8_t* levels = t.levels.data();
    float* row = Mode == Averaging::Linear ? t.history.data() + size_t(t.history_next) * size_t(lines) : nullptr;
    double* sum = Mode == Averaging::Linear ? t.history_sum.data() : nullptr;
    // Local pointers: the level stores (bytes) could alias anything, so no member is read in the loop.
    double* max = Max ? t.max.data() : nullptr;
    double* max_age = Max && Timed ? t.max_age.data() : nullptr;
    uint8_t* max_levels = Max ? t.max_levels.data() : nullptr;
    double* min = Min ? t.min.data() : nullptr;
    double* min_age = Min && Timed ? t.min_age.data() : nullptr;
    uint8_t* min_levels = Min ? t.min_levels.data() : nullptr;
    double unused_age = 0;
    for (int k = 0; k < lines; ++k) {
        const double raw = re[k] * re[k] + im[k] * im[k];
        if constexpr (Scan) scan.line(k, raw);
        const double p = raw * gain[k];
        double v;
        if constexpr (Mode == Averaging::Off) {
            v = p;
        } else if constexpr (Mode == Averaging::Linear) {
            // The mean of the last N blocks, kept as a running sum over a ring of them.
            const float f = float(p);
            double total = sum[k] + double(f) - (s.ring_full ? double(row[k]) : 0.0);
            if (total < 0) total = 0;  // rounding of what left the ring
            sum[k] = total;
            row[k] = f;
            v = total * s.weight;
        } else {
            // In power: exponential with the weight 1 - e^(-dt/tau), or the running mean since the start.
            v = avg[k] + s.weight * (p - avg[k]);
        }
        avg[k] = v;
    }
    if constexpr (Scan) *line_scan = scan;
    LevelsOf(avg, levels, lines, to_level);
    // The holds in a pass of their own over the new averages: one loop doing everything runs out
    // of registers.
    if constexpr (Max || Min) {
        for (int k = 0; k < lines; ++k) {
            const double v = avg[k];
            if constexpr (Max) Hold<true, Timed>(v, max[k], Timed ? max_age[k] : unused_age, max_levels[k], s, to_level);
            if constexpr (Min) Hold<false, Timed>(v, min[k], Timed ? min_age[k] : unused_age, min_levels[k], s, to_level);
        }
    }
}

// The second trace has neither holds nor a scan; the first always scans.
template <Averaging Mode, class Level>
void MeasureLinesHeld(MeasuredTraceRecord& t, const double* re, const double* im, const double* gain,
                      const BlockStep& s, Level to_level, LineScan* scan) {
    const bool max = !t.max.empty(), min = !t.min.empty();
    LineScan unused(0, false, nullptr);
    if (!scan && (max || min)) scan = &unused;
    if (!scan) return MeasureLines<Mode, false, false, false, false>(t, re, im, gain, s, to_level, scan);
    if (!max && !min) return MeasureLines<Mode, false, false, false, true>(t, re, im, gain, s, to_level, scan);
    if (s.hold > 0) {
        if (max && min) MeasureLines<Mode, true, true, true, true>(t, re, im, gain, s, to_level, scan);
        else if (max) MeasureLines<Mode, true, false, true, true>(t, re, im, gain, s, to_level, scan);
        else MeasureLines<Mode, false, true, true, true>(t, re, im, gain, s, to_level, scan);
    } else {
        if (max && min) MeasureLines<Mode, true, true, false, true>(t, re, im, gain, s, to_level, scan);
        else if (max) MeasureLines<Mode, true, false, false, true>(t, re, im, gain, s, to_level, scan);
        else MeasureLines<Mode, false, true, false, true>(t, re, im, gain, s, to_level, scan);
    }
}

}  // namespace

bool MeasuringControlsOn(const AnalysisParams& params) {
    return params.averaging != 0 || params.max_hold || params.min_hold || params.weighting != 0 || params.traces != 0;
}

void ResetMeasuredSpectrum(Analyser& an) {
    for (MeasuredTraceRecord& t : an.traces) t.lines = 0;
}

double MeasureTickSeconds(const AnalysisParams& params, uint32_t byte_count) {
    // Pictures on their own clock, or memory mode's timer: each picture stands for its period.
    if (params.block_period_ms > 0) return params.block_period_ms / 1000.0;
    const int layout = params.channel_layout & 3;
    const double frame = layout == 0 ? 1 : layout == 3 ? 4 : 2;
    return params.sample_rate ? byte_count / (frame * params.sample_rate) : 0.0;
}

double DisplayedLineDecibels(const Analyser& an, const AnalysisParams& params, int n, int k) {
    const int lines = n / 2;
    if (k < 0 || k >= lines) return -std::numeric_limits<double>::infinity();
    double p = 0;
    if (MeasuringControlsOn(params)) {
        const MeasuredTraceRecord& t = an.traces[0];
        if (t.lines != lines) return -std::numeric_limits<double>::infinity();
        p = t.average[size_t(k)];
    } else {
        if (!an.work.re || an.work.n < n) return -std::numeric_limits<double>::infinity();
        const double re = an.work.re[k], im = an.work.im[k];
        p = (re * re + im * im) / PowerReference(params);
        if (params.katamuki) p = k == 0 ? p * 0.5 / n * 16 : p * k / n * 16;
    }
    return p > 0 ? 10 * std::log10(p) : -std::numeric_limits<double>::infinity();
}

void MeasureTrace(Analyser& an, const AnalysisParams& params, int index, int n, const double* re, const double* im,
                  double seconds, LineScan* scan) {
    MeasuredTraceRecord& t = an.traces[size_t(index & 1)];
    const int lines = n / 2;
    const bool holds = (index & 1) == 0;
    if (!Fits(params, t, lines, holds)) Start(params, t, lines, holds);
    BlockStep s;
    s.first = t.blocks == 0;
    s.seconds = seconds;
    s.hold = params.hold_ms <= 0 ? 0.0 : std::max(params.hold_ms, 500) / 1000.0;
    ++t.blocks;
    const Averaging mode = Averaging(std::clamp(params.averaging, 0, 3));
    switch (mode) {
    case Averaging::Exponential: {
        const double tau = std::clamp(params.average_ms, 25, 10000) / 1000.0;
        s.weight = s.first ? 1.0 : 1 - std::exp(-std::max(seconds, 0.0) / tau);
        break;
    }
    case Averaging::Linear: {
        const int rows = int(t.history.size() / size_t(lines));
        s.ring_full = t.history_count == rows;
        if (!s.ring_full) ++t.history_count;
        s.weight = 1.0 / t.history_count;
        break;
    }
    case Averaging::Infinite: s.weight = 1.0 / double(t.blocks); break;
    case Averaging::Off: break;
    }
    const double* gain = LineGains(an.line_gains, params, n);
    WithLevelMapping(params, an.level_range, [&](auto to_level) {
        switch (mode) {
        case Averaging::Exponential: MeasureLinesHeld<Averaging::Exponential>(t, re, im, gain, s, to_level, scan); break;
        case Averaging::Linear: MeasureLinesHeld<Averaging::Linear>(t, re, im, gain, s, to_level, scan); break;
        case Averaging::Infinite: MeasureLinesHeld<Averaging::Infinite>(t, re, im, gain, s, to_level, scan); break;
        case Averaging::Off: MeasureLinesHeld<Averaging::Off>(t, re, im, gain, s, to_level, scan); break;
        }
        return 0;
    });
    if (mode == Averaging::Linear) t.history_next = (t.history_next + 1) % int(t.history.size() / size_t(lines));
}

}  // namespace dl
