#include "analysis/pipeline.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <new>
#include <string>

#include "analysis/analyser.h"
#include "analysis/analysis_params.h"
#include "analysis/analysis_stop.h"
#include "analysis/f0_tracker.h"
#include "analysis/fft.h"
#include "analysis/measured_spectrum.h"
#include "analysis/meter_strip.h"
#include "analysis/pcm16.h"
#include "analysis/peak_candidates.h"
#include "analysis/peaks.h"
#include "analysis/pipeline_kernels.h"
#include "analysis/pipeline_levels.h"
#include "analysis/pitch.h"
#include "analysis/pitch_track.h"
#include "analysis/precise_peak.h"
#include "analysis/window_table.h"

namespace dl {

namespace {

[[noreturn]] void out_of_memory(const char* english, const char* japanese) {
    throw AnalysisStop(english, japanese, true, 1);
}

// Puts the block's samples into re[0..n), zero-padded, with the mean of the samples present
// removed and the window applied over them (neither for the rectangular window). One pass over
// the work array: the mean comes from the integer samples, whose sum is exact.
template <class Sample, class Sum>
void load_samples(WindowTableRecord& table, int window, int m, int n, Sample sample, Sum sum_of, double* re) {
    if (window == kRectangularWindow) {
        for (int i = 0; i < m; ++i) re[i] = sample(i);
    } else if (m > 0) {
        const double mean = double(sum_of(m)) / m;
        const int h = m / 2;
        ensure_window(table, window, h);
        const double* w = table.window.data();
        for (int i = 0; i < h; ++i) re[i] = (sample(i) - mean) * w[i];
        for (int i = h; i < 2 * h; ++i) re[i] = (sample(i) - mean) * w[2 * h - 1 - i];
        if (m & 1) re[m - 1] = sample(m - 1) - mean;  // the odd last sample takes no weight
    }
    std::fill(re + m, re + n, 0.0);
}

// Removes the mean of re[0..m) and applies the window over it.
void weight_block(WindowTableRecord& table, int window, double* re, int m) {
    if (window == kRectangularWindow || m <= 0) return;
    double sum = 0;
    for (int i = 0; i < m; ++i) sum += re[i];
    const double mean = sum / m;
    const int h = m / 2;
    ensure_window(table, window, h);
    const double* w = table.window.data();
    for (int i = 0; i < h; ++i) {
        re[i] = (re[i] - mean) * w[i];
        re[2 * h - 1 - i] = (re[2 * h - 1 - i] - mean) * w[i];
    }
    if (m & 1) re[m - 1] -= mean;
}

double autocorrelation(int fftparam, bool wide, int t, int n, int z, const uint8_t* data, std::vector<double>& a,
                       std::vector<double>& second);

// Fills re[0..n) with what is transformed: the block, or in the autocorrelation mode the
// weighted autocorrelation of its start; then the mean removal and the window.
void load_work_arrays(Analyser& an, const AnalysisParams& params, const uint8_t* data, int samples, int n,
                      double* re) {
    const bool wide = WideSamples(params);
    const int m = std::min(samples, n);
    if (params.wavmode != 2) {
        if (wide) {
            load_samples(an.window, params.mado, m, n, [data](int i) { return load16(data, size_t(i)); },
                         [data](int count) { return sum16(data, count); }, re);
        } else {
            load_samples(an.window, params.mado, m, n, [data](int i) { return int(data[i]) - 128; },
                         [data](int count) {
                             int64_t sum = 0;
                             for (int i = 0; i < count; ++i) sum += int(data[i]) - 128;
                             return sum;
                         }, re);
        }
        return;
    }
    const int lags = std::min({samples, params.graph_width, n});
    std::fill(re, re + n, 0.0);
    if (lags > 0) {
        const int t = std::min(samples, 2 * lags);
        std::vector<double>& a = an.lag_values;
        const double w = autocorrelation(params.fftparam, wide, t, lags, pow2(ceil_log2(3 * lags)), data, a,
                                         an.lag_scratch);
        const double k = wide ? 31000.0 : 120.0;
        const double a0 = a[0];
        for (int i = 0; i < lags; ++i) re[i] = (i * std::sqrt(double(i)) * w + 1) * (a[i] / a0) * k;
    }
    weight_block(an.window, params.mado, re, m);
}

void meter(BlockAnalysis& out, uint32_t level, uint32_t unit) {
    out.meters[size_t(out.meter_count++)] = {level, unit};
}

// The largest magnitude among samples 0, stride, 2 stride, ... below count.
template <class Sample>
uint32_t scan_peak(uint32_t count, uint32_t stride, Sample sample) {
    int peak = 0;
    if (stride == 1) {
        for (uint32_t i = 0; i < count; ++i) peak = std::max(peak, std::abs(sample(i)));
    } else {
        for (uint32_t i = 0; i < count; i += stride) peak = std::max(peak, std::abs(sample(i)));
    }
    return uint32_t(peak);
}

// The strongest line's frequency and the level the "Peak" read-out shows.
void read_out_peak(const AnalysisParams& params, SpectrumPeakRecord& peak, int n, BlockAnalysis& out) {
    peak.frequency = double(params.sample_rate) * peak.bin / n;
    out.peak_shown = true;
    out.peak_frequency = peak.frequency;
    out.peak_level = PowerLevel(params, peak.power);
}

}  // namespace

double PowerReference(const AnalysisParams& params) { return WideSamples(params) ? 70000000.0 : 1000.0; }

int LevelDecibels(const AnalysisParams& params, double power) {
    if (!(power > 0)) return -1000;
    return int(10 * std::log10(power / PowerReference(params)) - 0.5);
}

LevelFigure PowerLevel(const AnalysisParams& params, double power) {
    LevelFigure l;
    l.decibel = params.Decibel;
    if (l.decibel) l.decibels = LevelDecibels(params, power);
    else l.amplitude = std::sqrt(power / PowerReference(params));
    return l;
}

namespace {

double autocorrelation(int fftparam, bool wide, int t, int n, int z, const uint8_t* data, std::vector<double>& a,
                       std::vector<double>& second) {
    try {
        a.assign(size_t(z), 0.0);
        second.assign(size_t(z), 0.0);
    } catch (const std::bad_alloc&) {
        out_of_memory("self mem error", "self mem error");
    }
    const int count = std::min(t, z);
    if (wide) {
        for (int i = 0; i < count; ++i) a[size_t(i)] = load16(data, size_t(i));
    } else {
        for (int i = 0; i < count; ++i) a[size_t(i)] = int(data[i]) - 128;
    }
    const int p = ceil_log2(z);
    double* re = a.data();
    double* im = second.data();
    if (fftparam > 10) fft_direct(re, im, p, -1);
    else fft2(re, im, p, -1);
    for (int i = 0; i < z; ++i) {
        re[i] = re[i] * re[i] + im[i] * im[i];
        im[i] = 0;
    }
    if (fftparam > 9) fft_direct(re, im, p, 1);
    else fft2(re, im, p, 1);
    if (a[0] == 0) a[0] = 1;
    return z >= t + n ? 1 / std::pow(double(n), 1.5) : 0;
}

// The measured trace's levels and holds for the block, and in the same pass its strongest line
// and the peak list's candidates from the block's own spectrum.
StrongestLine ShowMeasuredTrace(Analyser& an, const AnalysisParams& params, int n, const double* re,
                                const double* im, PeakCandidates* peaks, BlockAnalysis& out) {
    if (peaks) peaks->begin(params.freqnum, std::numeric_limits<double>::infinity());
    LineScan scan(n, params.katamuki != 0, peaks);
    MeasureTrace(an, params, 0, n, re, im, an.block_seconds, &scan);
    const StrongestLine strongest = scan.finish(n / 2);
    if (peaks) peaks->end();
    const MeasuredTraceRecord& t = an.traces[0];
    out.levels = t.levels.data();
    out.max_levels = t.max_levels.empty() ? nullptr : t.max_levels.data();
    out.min_levels = t.min_levels.empty() ? nullptr : t.min_levels.data();
    return strongest;
}

// Spectrum, read-outs and peak list of a mono block.
void AnalyseSpectrum(Analyser& an, const AnalysisParams& params, AnalysisPurpose purpose, const uint8_t* data,
                     uint32_t byte_count, BlockAnalysis& out) {
    if (byte_count == 0) return;
    const int p = std::clamp(params.fftparam, 8, 16);
    const int n = pow2(p);
    // Without samples or work arrays of this size there is nothing to transform.
    if (!data || !an.work.re || !an.work.im || an.work.n < n) return;
    const bool wide = WideSamples(params);
    const int samples = int(wide ? byte_count / 2 : byte_count);

    try {
        if (an.levels.size() < size_t(n)) an.levels.resize(size_t(n));
    } catch (const std::bad_alloc&) {
        out_of_memory("nomem", "メモリ不足");
    }

    double* re = an.work.re;
    double* im = an.work.im;
    load_work_arrays(an, params, data, samples, n, re);
    // Everything below reads lines 0..n/2-1 only.
    fft2_lower(re, im, p);
    // The peaks this spectrum's readers fit are fitted once; the arrays are the next block's after.
    struct FitsOfThisSpectrum {
        PreciseTables& tables;
        ~FitsOfThisSpectrum() { tables.forget_spectrum(); }
    } fits{an.precise};
    an.precise.remember_spectrum(re, im, n, samples, params.mado);

    // The strongest line and the display levels in one pass.
    // The measuring controls draw levels of their own.
    // Rows-only blocks are not drawn: they leave the averages and holds to the pictures.
    const bool rows_only = purpose == AnalysisPurpose::RowsOnly;
    const int view = params.display;
    const bool list = params.freqnum > 0 && view >= kViewLinear && view <= kViewSpectrogram;
    PeakCandidates* candidates = list ? &an.candidates : nullptr;
    out.spectrum = true;
    out.n = n;
    StrongestLine strongest;
    if (MeasuringControlsOn(params) && !rows_only) {
        strongest = ShowMeasuredTrace(an, params, n, re, im, candidates, out);
    } else {
        strongest = ComputeLevelsAndStrongestLine(params, an.level_range, n, an.levels.data(), re, im, candidates,
                                                  params.freqnum);
        out.levels = an.levels.data();
    }
    // The peak list starts from the strongest line whatever it is (it passes over what is no tone).
    const int list_from = strongest.bin;
    // In the precise mode the "Peak" is a tone's: where the block's mean (its DC line) is the
    // strongest, the strongest line past the mean's lobe (down its flank to the first valley) is.
    if (UsePreciseEstimator(params) && strongest.power > 0 && strongest.bin == 0) {
        auto power = [&](int k) { return re[k] * re[k] + im[k] * im[k]; };
        int k = 1;
        while (k + 1 < n / 2 && power(k + 1) < power(k)) ++k;
        strongest = StrongestLineFrom(n, params.katamuki != 0, re, im, k);
    }
    SpectrumPeakRecord& peak = an.peak;
    peak.power = strongest.power;
    peak.bin = strongest.bin;
    if (peak.power > 0) read_out_peak(params, peak, n, out);

    if (params.freqnum < 2 && params.sex != 0)
        VoicePointerSingle(params, purpose, peak.frequency, peak.power, out.pointer);

    // The tracker runs for whoever shows or prints what it hears: the tuner, the batch rows.
    const double rate = params.sample_rate;
    const TrackerInput heard{data, samples, wide, rate, params.wavmode == 2 ? nullptr : re, im, n, params.mado,
                             params.reference_a4, nullptr, PitchTrack::kLowest, PitchTrack::kHighest};
    // The buffers' blocks keep their own tracker, so the rows never depend on the pictures. Pictures
    // on their own clock track the sound at each picture for the tuner (a slowed play gets a reading
    // a picture, not one a time slice of the file); without the tuner they show what the blocks read.
    TrackedShown& tracked = an.shown;
    if (purpose == AnalysisPurpose::PictureOnly && params.tuner) {
        // The frame at the picture's moment, read from its own spectrum: the block's spectrum reaches
        // a transform's length past it, into the notes after.
        const int m = std::min(samples, PitchFrameLength(rate));
        std::vector<float>& x = an.picture_frame;
        x.resize(size_t(std::max(m, 0)));
        for (int i = 0; i < m; ++i)
            x[size_t(i)] = wide ? float(load16(data, size_t(i)) / 32768.0) : float((int(data[i]) - 128) / 128.0);
        PitchFrame frame;
        ReadPitchFrame(an.picture_pitch, x.data(), m, rate, params.mado, params.reference_a4, frame);
        out.f0_voiced = frame.voiced;
        out.f0_frequency = frame.frequency;
        out.f0_confidence = frame.confidence;
        out.f0_note = frame.note;
        out.f0_cents = frame.cents;
        out.f0_inharmonicity = frame.inharmonicity;
    } else if (purpose == AnalysisPurpose::PictureOnly) {
        out.f0_voiced = tracked.f0_voiced;
        out.f0_frequency = tracked.f0_frequency;
        out.f0_confidence = tracked.f0_confidence;
        out.f0_note = tracked.f0_note;
        out.f0_cents = tracked.f0_cents;
        out.f0_inharmonicity = tracked.f0_inharmonicity;
    } else if (params.tuner || params.rows_observed) {
        TrackFundamental(an.fundamental, an.precise, heard, out);
        tracked.f0_voiced = out.f0_voiced;
        tracked.f0_frequency = out.f0_frequency;
        tracked.f0_confidence = out.f0_confidence;
        tracked.f0_note = out.f0_note;
        tracked.f0_cents = out.f0_cents;
        tracked.f0_inharmonicity = out.f0_inharmonicity;
    }

    if (UsePreciseEstimator(params)) {
        // The strongest line read precisely; the A4 read-out follows it only while there is sound.
        out.precise = true;
        const double floor_hz = std::max(LowestResolvedLine(an.precise, n, samples, params.mado) * rate / n, 25.0);
        double heard = 0;
        if (peak.power > 0) {
            heard = PrecisePeakLine(an.precise, re, im, n, peak.bin, samples, params.mado).line * rate / n;
            out.peak_frequency = heard;
        }
        if (list) ListPeaks(an, params, purpose, re, im, list_from, n, byte_count, &an.candidates, out);
        else UpdateSteadyA4(an, params, purpose, heard > floor_hz ? heard : 0, out);
        return;
    }
    const double floor_hz = std::max(40.0 * params.sample_rate / n, 25.0);
    if (list) {
        ListPeaks(an, params, purpose, re, im, peak.bin, n, byte_count, &an.candidates, out);
    } else if (peak.frequency > floor_hz) {
        UpdateA4Pitch(an, purpose, peak.frequency, out);
    }
}

enum class TraceSignal { Mix, Left, Right, Side, Difference };

// The signals of the traces the user chose for a stereo source, the one the peak list reads first.
int TraceSignals(const AnalysisParams& params, TraceSignal signals[2]) {
    const bool swap = params.peak_trace != 0;
    switch (params.traces) {
    case 1:
        signals[0] = swap ? TraceSignal::Right : TraceSignal::Left;
        signals[1] = swap ? TraceSignal::Left : TraceSignal::Right;
        return 2;
    case 2:
        signals[0] = swap ? TraceSignal::Side : TraceSignal::Mix;
        signals[1] = swap ? TraceSignal::Mix : TraceSignal::Side;
        return 2;
    case 3: signals[0] = TraceSignal::Difference; return 1;
    default: signals[0] = TraceSignal::Mix; return 1;
    }
}

// One signal of a frame's two channels (centred samples). The mid signal is the mix; side is half
// the difference, the difference whole (held at full scale by the caller).
template <TraceSignal S>
inline int signal_of(int l, int r) {
    if constexpr (S == TraceSignal::Left) return l;
    else if constexpr (S == TraceSignal::Right) return r;
    else if constexpr (S == TraceSignal::Side) return (l - r) / 2;
    else if constexpr (S == TraceSignal::Difference) return l - r;
    else return (l + r) / 2;
}

template <TraceSignal S>
void fill_signal(const uint8_t* data, uint32_t frames, bool wide, uint8_t* mono) {
    if (wide) {
        constexpr int wl = S == TraceSignal::Right ? 0 : 1;
        constexpr int wr = S == TraceSignal::Left ? 0 : S == TraceSignal::Side || S == TraceSignal::Difference ? -1 : 1;
        stereo_signal16(data, frames, wl, wr, S == TraceSignal::Mix || S == TraceSignal::Side, mono);
    } else if constexpr (S == TraceSignal::Mix) {
        for (uint32_t f = 0; f < frames; ++f) mono[f] = uint8_t((data[2 * f] + data[2 * f + 1]) / 2);
    } else {
        for (uint32_t f = 0; f < frames; ++f)
            mono[f] = uint8_t(std::clamp(signal_of<S>(int(data[2 * f]) - 128, int(data[2 * f + 1]) - 128), -128, 127) + 128);
    }
}

// Calls `use` with the signal as a template argument.
template <class Use>
void with_signal(TraceSignal s, Use use) {
    switch (s) {
    case TraceSignal::Left: return use(std::integral_constant<TraceSignal, TraceSignal::Left>{});
    case TraceSignal::Right: return use(std::integral_constant<TraceSignal, TraceSignal::Right>{});
    case TraceSignal::Side: return use(std::integral_constant<TraceSignal, TraceSignal::Side>{});
    case TraceSignal::Difference: return use(std::integral_constant<TraceSignal, TraceSignal::Difference>{});
    case TraceSignal::Mix: return use(std::integral_constant<TraceSignal, TraceSignal::Mix>{});
    }
}

// One signal of a stereo block as a mono block of the same sample width.
void FillTraceSignal(const uint8_t* data, uint32_t frames, bool wide, TraceSignal s, uint8_t* mono) {
    with_signal(s, [&](auto signal) { fill_signal<decltype(signal)::value>(data, frames, wide, mono); });
}

// The second trace of two-channel traces: transformed in arrays of its own, so that the peak
// list's spectrum in the work arrays stays that of the first. It needs only its spectrum's levels:
// no peak list, read-outs or tracker. The first trace is done with the mono block: it takes this
// one's signal.
void MeasureSecondTrace(Analyser& an, const AnalysisParams& params, const uint8_t* data, uint32_t frames, bool wide,
                        TraceSignal signal, uint8_t* mono, BlockAnalysis& out) {
    if (frames == 0 || !out.spectrum) return;
    const int p = std::clamp(params.fftparam, 8, 16);
    const int n = pow2(p);
    std::vector<double>& re = an.second_re;
    std::vector<double>& im = an.second_im;
    try {
        re.resize(size_t(n));
        im.resize(size_t(n));
    } catch (const std::bad_alloc&) {
        return;  // the first trace alone
    }
    FillTraceSignal(data, frames, wide, signal, mono);
    load_work_arrays(an, params, mono, int(frames), n, re.data());
    fft2_lower(re.data(), im.data(), p);
    MeasureTrace(an, params, 1, n, re.data(), im.data(), an.block_seconds);
    out.second_levels = an.traces[1].levels.data();
}

}  // namespace

double AutoCorrelation(int fftparam, bool wide, int t, int n, int z, const uint8_t* data, std::vector<double>& a) {
    std::vector<double> second;
    return autocorrelation(fftparam, wide, t, n, z, data, a, second);
}

namespace {

void measure_block(Analyser& an, const AnalysisParams& params, const BlockView& block, BlockAnalysis& out) {
    if (!params.samples_readable) {
        out.level_unavailable = true;
        return;
    }
    if (!block.data) return;
    const uint8_t* data = block.data;
    const uint32_t byte_count = block.bytes;
    const AnalysisPurpose purpose = block.purpose;
    // The meters follow the buffers' blocks; a picture shows their latest readings.
    if (MeterStripWanted(params)) {
        if (purpose == AnalysisPurpose::PictureOnly) out.strip = an.meters.last;
        else MeterBlock(params, an.meters, data, byte_count, block.offset, out.strip);
    }
    if (params.loudness_scan) return;  // the loudness of the sound is all that is asked for
    const int layout = params.channel_layout & 3;
    uint32_t l = byte_count;
    an.block_seconds = MeasureTickSeconds(params, byte_count);

    uint32_t stride = std::min<uint32_t>(block.scan_stride, 16000);
    const uint32_t divisor = layout == 0 ? 32 : layout == 3 ? 128 : 64;
    stride = std::min(stride, params.block_bytes / divisor);
    if (stride == 0) stride = 1;
    out.level_stride = stride;

    // Stereo blocks are analysed as the mean of their channels.
    uint8_t* mono = nullptr;
    if (layout >= 2) {
        try {
            an.mono_mix.resize(l / 2);
            mono = an.mono_mix.data();
        } catch (const std::bad_alloc&) {
            mono = nullptr;
        }
    }

    // The meters' pass also makes the mix, unless the first trace shows another signal.
    TraceSignal signals[2] = {TraceSignal::Mix, TraceSignal::Mix};
    const int traces = TraceSignals(params, signals);
    uint8_t* mix = signals[0] == TraceSignal::Mix ? mono : nullptr;
    switch (layout) {
    case 0:
        meter(out, scan_peak(l, stride, [&](uint32_t i) { return int(data[i]) - 128; }), 8);
        break;
    case 1: {
        const uint32_t peak = stride == 1 ? uint32_t(peak16(data, l / 2))
                                          : scan_peak(l / 2, stride, [&](uint32_t i) { return load16(data, i); });
        meter(out, peak, 2048);
        l &= ~1u;
        break;
    }
    case 2: {
        // Whole frames only.
        const uint32_t frames = l / 2;
        meter(out, scan_peak(frames, stride, [&](uint32_t f) { return int(data[2 * f]) - 128; }), 8);
        meter(out, scan_peak(frames, stride, [&](uint32_t f) { return int(data[2 * f + 1]) - 128; }), 8);
        if (mix)
            for (uint32_t f = 0; f < frames; ++f) mix[f] = uint8_t((data[2 * f] + data[2 * f + 1]) / 2);
        break;
    }
    default: {
        const uint32_t frames = l / 4;
        int left = 0, right = 0;
        if (stride == 1) {
            // One pass for the meters and the mix.
            peak_and_mix_stereo16(data, frames, mix, left, right);
        } else {
            left = int(scan_peak(frames, stride, [&](uint32_t f) { return load16(data, 2 * f); }));
            right = int(scan_peak(frames, stride, [&](uint32_t f) { return load16(data, 2 * f + 1); }));
            if (mix)
                for (uint32_t f = 0; f < frames; ++f)
                    store16(mix, f, (load16(data, 2 * f) + load16(data, 2 * f + 1)) / 2);
        }
        meter(out, uint32_t(left), 2048);
        meter(out, uint32_t(right), 2048);
        l &= ~1u;
        break;
    }
    }

    if (layout < 2) {
        AnalyseSpectrum(an, params, purpose, data, l, out);
        return;
    }
    if (!mono) return;  // no room for the mix: the meters are all this tick shows
    const uint32_t frames = layout == 3 ? l / 4 : l / 2;
    if (signals[0] != TraceSignal::Mix) FillTraceSignal(data, frames, layout == 3, signals[0], mono);
    AnalyseSpectrum(an, params, purpose, mono, l / 2, out);
    if (traces == 2 && purpose != AnalysisPurpose::RowsOnly) {
        MeasureSecondTrace(an, params, data, frames, layout == 3, signals[1], mono, out);
    }
    an.mono_mix.clear();
}

}  // namespace

void Analyser::configure(const AnalysisParams& params) {
    const AnalysisParams& was = params_;
    // The line gains come from the transform's size, the rate, the sample width, the tilt and the
    // weighting.
    if (params.fftparam != was.fftparam || params.sample_rate != was.sample_rate ||
        WideSamples(params) != WideSamples(was) || (params.katamuki != 0) != (was.katamuki != 0) ||
        params.weighting != was.weighting)
        line_gains.gains.clear();
    params_ = params;
}

bool Analyser::make_work_arrays(int fftparam) {
    work = WorkArraysRecord{};
    if (fftparam < 1 || fftparam > 30) return false;
    // The imaginary part starts a few values past the real one's end: never on the same cache sets.
    constexpr size_t kArrayGap = 8;
    const size_t n = size_t(1) << fftparam;
    double* block = new (std::nothrow) double[2 * n + kArrayGap];
    if (!block) return false;
    work.storage.reset(block);
    work.re = block;
    work.im = block + n + kArrayGap;
    work.n = int(n);
    return true;
}

const BlockAnalysis& Analyser::measure(const BlockView& block) {
    BlockAnalysis& out = result;
    out.clear();
    try {
        measure_block(*this, params_, block, out);
    } catch (const AnalysisStop& stop) {
        out.failure_status = stop.status;
        out.failure_text = stop.english;
        out.failure_text_japanese = stop.japanese;
        out.failure_owned = stop.owned;
    }
    out.seconds = block.seconds;
    // The spectrum hears the block's first transform length of sound: its middle is the time shown.
    const uint32_t bps = params_.output_bytes_per_second;
    const int layout = params_.channel_layout;
    const uint64_t frame_bytes = uint64_t((layout & 2) ? 2 : 1) * ((layout & 1) ? 2 : 1);
    const uint64_t heard = std::min<uint64_t>(block.bytes, frame_bytes << std::clamp(params_.fftparam, 8, 16));
    out.spectrum_seconds = block.seconds + (bps ? 0.5 * double(heard) / bps : 0.0);
    return out;
}

}  // namespace dl
