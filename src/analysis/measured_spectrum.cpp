#include "analysis/measured_spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/pipeline.h"
#include "analysis/pipeline_levels.h"
#include "analysis/weighting.h"
#include "state/analysis.h"
#include "state/engine.h"
#include "state/settings.h"
#include "state/source.h"

namespace dl {

namespace {

// Line powers over full scale, tilted as the levels are, and weighted.
void ScaledPowers(int n, const double* re, const double* im, double* out) {
    const double ref = PowerReference();
    const int half = n / 2;
    for (int k = 0; k < half; ++k) out[k] = (re[k] * re[k] + im[k] * im[k]) / ref;
    if (Settings.katamuki) {
        out[0] = out[0] * 0.5 / n * 16;
        for (int k = 1; k < half; ++k) out[k] = out[k] * k / n * 16;
    }
    if (Settings.weighting != 0) {
        const std::vector<double>& g =
            WeightingPowerGains(Weighting(Settings.weighting), n, double(SourceInfo.sample_rate));
        for (int k = 0; k < half; ++k) out[k] *= g[size_t(k)];
    }
}

void Start(MeasuredTraceRecord& t, int lines) {
    t = MeasuredTraceRecord{};
    t.lines = lines;
    t.average.assign(size_t(lines), 0.0);
    t.levels.assign(size_t(lines), 255);
    if (Settings.averaging == 2) {
        t.history.assign(size_t(lines) * size_t(Settings.average_blocks), 0.0f);
        t.history_sum.assign(size_t(lines), 0.0);
    }
    if (Settings.max_hold) {
        t.max.assign(size_t(lines), 0.0);
        t.max_age.assign(size_t(lines), 0.0);
        t.max_levels.assign(size_t(lines), 255);
    }
    if (Settings.min_hold) {
        t.min.assign(size_t(lines), 0.0);
        t.min_age.assign(size_t(lines), 0.0);
        t.min_levels.assign(size_t(lines), 255);
    }
}

// Whether the record was started for the controls as they are now.
bool Fits(const MeasuredTraceRecord& t, int lines) {
    return t.lines == lines && (Settings.averaging == 2) == !t.history.empty() &&
           (Settings.averaging != 2 || t.history.size() == size_t(lines) * size_t(Settings.average_blocks)) &&
           bool(Settings.max_hold) == !t.max.empty() && bool(Settings.min_hold) == !t.min.empty();
}

void Average(MeasuredTraceRecord& t, const double* p, double seconds) {
    const int lines = t.lines;
    double* avg = t.average.data();
    const bool first = t.blocks == 0;
    ++t.blocks;
    switch (Settings.averaging) {
    case 1: {
        // Exponential in power: a response time tau weighs the block by 1 - e^(-dt/tau).
        const double tau = std::clamp(Settings.average_ms, 25, 10000) / 1000.0;
        const double a = first ? 1.0 : 1 - std::exp(-std::max(seconds, 0.0) / tau);
        for (int k = 0; k < lines; ++k) avg[k] += a * (p[k] - avg[k]);
        break;
    }
    case 2: {
        // The mean of the last N blocks, kept as a running sum over a ring of them.
        const int rows = int(t.history.size() / size_t(lines));
        float* row = t.history.data() + size_t(t.history_next) * size_t(lines);
        double* sum = t.history_sum.data();
        const bool full = t.history_count == rows;
        for (int k = 0; k < lines; ++k) {
            const float v = float(p[k]);
            sum[k] += double(v) - (full ? double(row[k]) : 0.0);
            if (sum[k] < 0) sum[k] = 0;  // rounding of what left the ring
            row[k] = v;
        }
        if (!full) ++t.history_count;
        t.history_next = (t.history_next + 1) % rows;
        const double share = 1.0 / t.history_count;
        for (int k = 0; k < lines; ++k) avg[k] = sum[k] * share;
        break;
    }
    case 3: {
        const double share = 1.0 / double(t.blocks);
        for (int k = 0; k < lines; ++k) avg[k] += share * (p[k] - avg[k]);
        break;
    }
    default:
        std::copy(p, p + lines, avg);
        break;
    }
}

// A held value is taken over when the new one passes it, or when it has been held `hold` seconds
// (0: for ever).
template <class Passes>
void Hold(std::vector<double>& held, std::vector<double>& age, const double* p, bool first, double seconds,
          Passes passes) {
    const double hold = Settings.hold_ms <= 0 ? 0.0 : std::max(Settings.hold_ms, 500) / 1000.0;
    for (size_t k = 0; k < held.size(); ++k) {
        if (first || passes(p[k], held[k]) || (hold > 0 && age[k] + seconds > hold)) {
            held[k] = p[k];
            age[k] = 0;
        } else {
            age[k] += seconds;
        }
    }
}

}  // namespace

bool MeasuringControlsOn() {
    return Settings.averaging != 0 || Settings.max_hold || Settings.min_hold || Settings.weighting != 0 ||
           Settings.traces != 0;
}

void ResetMeasuredSpectrum() {
    for (MeasuredTraceRecord& t : MeasuredTraces) t.lines = 0;
}

double MeasureTickSeconds(uint32_t byte_count) {
    if (BufferCount == 1 && TimerPeriod > 0) return TimerPeriod / 1000.0;
    const int layout = SourceInfo.ChannelLayout & 3;
    const double frame = layout == 0 ? 1 : layout == 3 ? 4 : 2;
    return SourceInfo.sample_rate ? byte_count / (frame * SourceInfo.sample_rate) : 0.0;
}

double DisplayedLineDecibels(int n, int k) {
    const int lines = n / 2;
    if (k < 0 || k >= lines) return -std::numeric_limits<double>::infinity();
    double p = 0;
    if (MeasuringControlsOn()) {
        const MeasuredTraceRecord& t = MeasuredTraces[0];
        if (t.lines != lines) return -std::numeric_limits<double>::infinity();
        p = t.average[size_t(k)];
    } else {
        if (!WorkArrays.re || WorkArrays.n < n) return -std::numeric_limits<double>::infinity();
        const double re = WorkArrays.re[k], im = WorkArrays.im[k];
        p = (re * re + im * im) / PowerReference();
        if (Settings.katamuki) p = k == 0 ? p * 0.5 / n * 16 : p * k / n * 16;
    }
    return p > 0 ? 10 * std::log10(p) : -std::numeric_limits<double>::infinity();
}

void MeasureTrace(int index, int n, const double* re, const double* im, double seconds) {
    MeasuredTraceRecord& t = MeasuredTraces[size_t(index & 1)];
    const int lines = n / 2;
    if (!Fits(t, lines)) Start(t, lines);
    static std::vector<double> p;
    p.resize(size_t(lines));
    ScaledPowers(n, re, im, p.data());
    const bool first = t.blocks == 0;
    Average(t, p.data(), seconds);
    LevelsOfPowers(lines, t.average.data(), t.levels.data());
    if (!t.max.empty()) {
        Hold(t.max, t.max_age, t.average.data(), first, seconds, [](double v, double h) { return v > h; });
        LevelsOfPowers(lines, t.max.data(), t.max_levels.data());
    }
    if (!t.min.empty()) {
        Hold(t.min, t.min_age, t.average.data(), first, seconds, [](double v, double h) { return v < h; });
        LevelsOfPowers(lines, t.min.data(), t.min_levels.data());
    }
}

}  // namespace dl
