#include "analysis/meter_strip.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "analysis/ballistics.h"
#include "analysis/pcm16.h"
#include "analysis/weighting.h"

namespace dl {

namespace {

// The weighting the strip's bars and figures read through; the loudness keeps its own.
Weighting meter_weighting(const AnalysisParams& params) {
    return params.meter_weighting ? Weighting(std::clamp(params.weighting, 0, 2)) : Weighting::Z;
}

// The block's samples as the bars read them: through the weighting's filter when one is chosen.
const int16_t* weighted_samples(const AnalysisParams& params, LevelMetersRecord& m, const std::vector<int16_t>& s,
                                size_t frames, int channels, uint32_t rate) {
    const Weighting w = meter_weighting(params);
    if (w == Weighting::Z) return s.data();
    std::vector<int16_t>& out = m.weighted;
    out.resize(s.size());
    for (int c = 0; c < channels; ++c) {
        WeightingFilter& f = m.filters[size_t(c)];
        if (f.weighting() != w || f.rate() != rate) f.design(w, rate);
        f.run(s.data() + c, out.data() + c, frames, size_t(channels));
    }
    return out.data();
}

// A held mark of the decaying kind stays a second, then falls 10 dB a second towards the bar.
constexpr double kHoldSeconds = 1.0, kHeldFallDbPerSecond = 10.0;

double decibels(double fraction) { return fraction > 0 ? 20 * std::log10(fraction) : kSilentDb; }

unsigned wanted_loudness(const AnalysisParams& params, bool& exact) {
    exact = params.loudness_scan;
    if (params.loudness_scan) return kLoudnessIntegrated | kLoudnessRange | kLoudnessTruePeak | kLoudnessSamplePeak;
    unsigned parts = 0;
    if (params.rows_observed && params.row_loudness) parts |= kLoudnessMomentary | kLoudnessShortTerm;
    if (params.level_meter == kMeterStripLoudness)
        parts |= kLoudnessMomentary | kLoudnessShortTerm | kLoudnessIntegrated | kLoudnessRange | kLoudnessTruePeak;
    return parts;
}

bool bars_wanted(const AnalysisParams& params) { return !params.loudness_scan && params.level_meter != kMeterPeakAlone; }

Ballistics chosen_ballistics(const AnalysisParams& params) {
    return Ballistics(std::clamp(params.meter_ballistics, 0, kBallisticsCount - 1));
}

void make_bars(LevelMetersRecord& m, Ballistics kind) {
    m.ballistics = int(kind);
    m.bar_kind = MakeBallistics(kind, m.rate);
    for (BallisticState& s : m.bar) ResetBallistics(m.bar_kind, s);
    m.held = {0, 0};
    m.held_age = {0, 0};
    m.last.channel = {};
}

void make_loudness(LevelMetersRecord& m, unsigned parts, bool exact) {
    m.loudness_parts = parts;
    m.exact = exact;
    m.loudness_frames = 0;
    m.loudness = parts ? LoudnessMeter::create(m.channels, m.rate, parts, !exact) : nullptr;
}

void configure(const AnalysisParams& params, LevelMetersRecord& m, int channels, uint32_t rate) {
    m.configured = true;
    m.channels = channels;
    m.rate = rate;
    m.metered_end = 0;
    m.peak = {0, 0};
    for (WeightingFilter& f : m.filters) f.design(meter_weighting(params), rate);
    m.rms_kind = MakeBallistics(Ballistics::Rms, rate);
    m.peak_kind = MakeBallistics(Ballistics::SamplePeak, rate);
    for (BallisticState& s : m.rms) ResetBallistics(m.rms_kind, s);
    make_bars(m, chosen_ballistics(params));
    bool exact = false;
    const unsigned parts = wanted_loudness(params, exact);
    make_loudness(m, parts, exact);
}

// The held mark after a block of `seconds` whose bar read `bar`.
void hold(LevelMetersRecord& m, int peak_hold, int c, double bar, double seconds) {
    double& held = m.held[size_t(c)];
    double& age = m.held_age[size_t(c)];
    if (peak_hold == 0) {
        held = 0;
        return;
    }
    age += seconds;
    if (bar >= held) {
        held = bar;
        age = 0;
    } else if (peak_hold == 1 && age > kHoldSeconds) {
        held = std::max(bar, held * std::pow(10.0, -kHeldFallDbPerSecond * seconds / 20));
    }
}

void read_out(const AnalysisParams& params, const LevelMetersRecord& m, MeterStripReading& out) {
    out.bars = bars_wanted(params);
    out.channels = m.channels;
    out.weighting = int(meter_weighting(params));
    for (int c = 0; c < m.channels && c < 2; ++c) {
        ChannelMeterReading& r = out.channel[size_t(c)];
        r.bar = m.last.channel[size_t(c)].bar;
        r.held = decibels(m.held[size_t(c)]);
        r.peak = decibels(m.peak[size_t(c)]);
        r.rms = m.last.channel[size_t(c)].rms;
    }
    LoudnessReading& l = out.loudness;
    l = LoudnessReading{};
    if (!m.loudness) return;
    l.measured = true;
    l.seconds = m.rate ? double(m.loudness_frames) / m.rate : 0;
    l.momentary_ready = m.loudness_frames >= uint64_t(0.4 * m.rate);
    l.short_term_ready = m.loudness_frames >= uint64_t(3.0 * m.rate);
    l.momentary = m.loudness->momentary();
    l.short_term = m.loudness->short_term();
    l.integrated = m.loudness->integrated();
    l.range = m.loudness->range();
    l.true_peak = decibels(m.loudness->true_peak());
}

// The block's frames as 16-bit samples.
const std::vector<int16_t>& samples_of(std::vector<int16_t>& out, const uint8_t* data, size_t frames, int channels,
                                       bool wide) {
    out.resize(frames * size_t(channels));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = wide ? int16_t(load16(data, i)) : int16_t((int(data[i]) - 128) * 256);
    return out;
}

}  // namespace

bool MeterStripWanted(const AnalysisParams& params) {
    return params.loudness_scan || params.rows_observed || params.level_meter != kMeterPeakAlone;
}

void ResetMeterStrip(LevelMetersRecord& m) {
    m.configured = false;
    m.loudness.reset();
    m.last = MeterStripReading{};
}

void ResetLoudness(const AnalysisParams& params, LevelMetersRecord& m) {
    m.peak = {0, 0};
    m.held = {0, 0};
    m.held_age = {0, 0};
    m.loudness_frames = 0;
    if (m.loudness && !m.loudness->reset()) m.loudness.reset();
    if (m.configured) read_out(params, m, m.last);
}

void MeterBlock(const AnalysisParams& params, LevelMetersRecord& m, const uint8_t* data, uint32_t bytes,
                uint64_t offset, MeterStripReading& out) {
    const int layout = params.channel_layout & 3;
    const int channels = layout >= 2 ? 2 : 1;
    const bool wide = (layout & 1) != 0;
    const uint32_t align = uint32_t(channels * (wide ? 2 : 1));
    const uint32_t rate = params.sample_rate;
    if (!data || rate == 0) return;
    if (!m.configured || m.channels != channels || m.rate != rate) configure(params, m, channels, rate);
    if (m.ballistics != int(chosen_ballistics(params))) make_bars(m, chosen_ballistics(params));
    bool exact = false;
    if (const unsigned parts = wanted_loudness(params, exact); parts != m.loudness_parts || exact != m.exact)
        make_loudness(m, parts, exact);

    const uint64_t start = offset == kBlockFollows ? m.metered_end : offset;
    uint64_t skip = start < m.metered_end ? m.metered_end - start : 0;
    skip -= skip % align;
    if (skip >= bytes) {
        out = m.last;
        return;
    }
    const size_t frames = (bytes - skip) / align;
    m.metered_end = start + skip + frames * align;
    const std::vector<int16_t>& s = samples_of(m.samples, data + skip, frames, channels, wide);
    const double seconds = double(frames) / rate;

    const bool bars_on = bars_wanted(params);
    const int16_t* bars = bars_on ? weighted_samples(params, m, s, frames, channels, rate) : s.data();
    for (int c = 0; c < channels && bars_on; ++c) {
        ChannelMeterReading& r = m.last.channel[size_t(c)];
        const double bar = RunBallistics(m.bar_kind, m.bar[size_t(c)], bars + c, frames, size_t(channels));
        r.bar = decibels(bar);
        r.rms = decibels(RunBallistics(m.rms_kind, m.rms[size_t(c)], bars + c, frames, size_t(channels)));
        BallisticState none;
        const double largest = RunBallistics(m.peak_kind, none, bars + c, frames, size_t(channels));
        m.peak[size_t(c)] = std::max(m.peak[size_t(c)], largest);
        hold(m, params.PeakHold, c, bar, seconds);
    }
    if (m.loudness) {
        if (m.loudness->add(s.data(), frames)) m.loudness_frames += frames;
        else m.loudness.reset();  // no room: the loudness is not shown rather than shown wrong
    }
    read_out(params, m, m.last);
    out = m.last;
}

}  // namespace dl
