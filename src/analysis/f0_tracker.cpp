#include "analysis/f0_tracker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <vector>

#include "analysis/fft.h"
#include "analysis/note_names.h"
#include "analysis/nth_smallest.h"
#include "analysis/pcm16.h"
#include "analysis/precise_peak.h"
#include "analysis/precise_tables.h"

namespace dl {

namespace {

// The normalised difference at a lag: near 0 where the block repeats itself after that lag, near
// 1 for noise. A dip this deep starts a note; the note followed last holds while its dip stays
// below the second; above the third nothing is voiced.
constexpr double kStartDip = 0.12;
constexpr double kHoldDip = 0.25;
constexpr double kVoicedDip = 0.30;
// Quieter than this (a fraction of full scale, RMS) is silence.
constexpr double kSilence = 3e-4;
// How far a harmonic may stray from its place, as a fraction of its frequency.
constexpr double kHarmonicSlack = 0.03;
constexpr int kHarmonics = 12;
// Partials that stray less than this are a harmonic sound's (under a cent at the fourth); more than
// the other is no string.
constexpr double kLeastInharmonicity = 5e-5, kMostInharmonicity = 0.01;
constexpr size_t kFittedHarmonics = 4;

using Work = FundamentalTrackRecord;

// The block's start as samples with its mean taken off; its RMS as a fraction of full scale.
double load_frame(const TrackerInput& in, int length, std::vector<double>& x) {
    x.resize(size_t(length));
    double sum = 0;
    for (int i = 0; i < length; ++i) {
        x[size_t(i)] = in.mono ? 32768.0 * in.mono[i] : in.wide ? load16(in.data, size_t(i)) : int(in.data[i]) - 128;
        sum += x[size_t(i)];
    }
    const double mean = sum / length;
    double power = 0;
    for (double& v : x) {
        v -= mean;
        power += v * v;
    }
    return std::sqrt(power / length) / (in.wide || in.mono ? 32768.0 : 128.0);
}

// d(t) = sum over j < width of (x[j] - x[j + t])^2 for t <= most, through one transform of the frame
// and the window in the real and imaginary parts; and its cumulative-mean normalised form.
void difference(Work& w, int length, int most) {
    const int width = length - most;
    const int p = ceil_log2(length);
    const int size = pow2(p);
    w.re.resize(size_t(size));
    w.im.resize(size_t(size));
    std::fill(std::copy(w.x.begin(), w.x.begin() + length, w.re.begin()), w.re.end(), 0.0);
    std::fill(std::copy(w.x.begin(), w.x.begin() + width, w.im.begin()), w.im.end(), 0.0);
    fft_direct(w.re.data(), w.im.data(), p, -1);
    // Frame A and window B from Z = A + iB; the correlation's spectrum is conj(B) A.
    for (int k = 0; k <= size / 2; ++k) {
        const int q = (size - k) % size;
        const double zr = w.re[size_t(k)], zi = w.im[size_t(k)], yr = w.re[size_t(q)], yi = w.im[size_t(q)];
        const double ar = 0.5 * (zr + yr), ai = 0.5 * (zi - yi);
        const double br = 0.5 * (zi + yi), bi = -0.5 * (zr - yr);
        const double cr = br * ar + bi * ai, ci = br * ai - bi * ar;
        w.re[size_t(k)] = cr;
        w.im[size_t(k)] = ci;
        w.re[size_t(q)] = cr;
        w.im[size_t(q)] = -ci;
    }
    fft_direct(w.re.data(), w.im.data(), p, 1);

    w.prefix.resize(size_t(length) + 1);
    w.prefix[0] = 0;
    for (int j = 0; j < length; ++j) w.prefix[size_t(j) + 1] = w.prefix[size_t(j)] + w.x[size_t(j)] * w.x[size_t(j)];
    const double first = w.prefix[size_t(width)];
    w.d.assign(size_t(most) + 1, 0.0);
    w.cmnd.assign(size_t(most) + 1, 1.0);
    double running = 0;
    for (int t = 1; t <= most; ++t) {
        const double shifted = w.prefix[size_t(t + width)] - w.prefix[size_t(t)];
        const double d = std::max(0.0, first + shifted - 2 * size * w.re[size_t(t)]);
        w.d[size_t(t)] = d;
        running += d;
        w.cmnd[size_t(t)] = running > 0 ? d * t / running : 1.0;
    }
}

// Takes the noise floor off the frame in w.x: its spectrum's lines lose the power of the floor (the
// lines' median power, as white noise's lines spread about their mean, taken three times over so
// that few noise lines outlast it); what stands above the floor (harmonics) is kept. The frame is
// padded to twice its length so that the filter does not wrap round.
void take_off_noise_floor(Work& w, int length) {
    const int p = ceil_log2(length) + 1;
    const int size = pow2(p);
    w.re.resize(size_t(size));
    w.im.assign(size_t(size), 0.0);
    std::fill(std::copy(w.x.begin(), w.x.begin() + length, w.re.begin()), w.re.end(), 0.0);
    fft_direct(w.re.data(), w.im.data(), p, -1);
    std::vector<double>& power = w.d;
    power.resize(size_t(size / 2));
    for (int k = 0; k < size / 2; ++k) power[size_t(k)] = w.re[size_t(k)] * w.re[size_t(k)] + w.im[size_t(k)] * w.im[size_t(k)];
    const size_t lines = power.size() - 1;
    const double floor = 3 * NthSmallest(power.data() + 1, lines, lines / 2, w.cmnd) / std::log(2.0);
    for (int k = 0; k <= size / 2; ++k) {
        const double pk = k < size / 2 ? power[size_t(k)] : 0.0;
        const double g = pk > floor ? std::sqrt(1 - floor / pk) : 0.0;
        const int q = (size - k) % size;
        w.re[size_t(k)] *= g;
        w.im[size_t(k)] *= g;
        if (q != k) {
            w.re[size_t(q)] *= g;
            w.im[size_t(q)] *= g;
        }
    }
    fft_direct(w.re.data(), w.im.data(), p, 1);
    for (int j = 0; j < length; ++j) w.x[size_t(j)] = w.re[size_t(j)];
}

// The lag of the deepest dip within `slack` (a fraction) of lag `around`, inside [lo, hi].
int dip_near(const std::vector<double>& cmnd, double around, double slack, int lo, int hi) {
    const int a = std::max(lo, int(std::floor(around * (1 - slack)))), b = std::min(hi, int(std::ceil(around * (1 + slack))));
    int best = -1;
    for (int t = a; t <= b; ++t)
        if (best < 0 || cmnd[size_t(t)] < cmnd[size_t(best)]) best = t;
    return best;
}

// Whether two lags stand in the ratio k (within a few per cent).
bool in_ratio(double longer, double shorter, int k) { return std::fabs(longer / (shorter * k) - 1) < 0.04; }

// The period's lag: the first dip deep enough, else the deepest; a multiple of it where that repeats
// far better (the fundamental under a strong second or third harmonic); and the octave of the note
// followed so far while its dip holds.
int choose_lag(const FundamentalTrackRecord& track, const std::vector<double>& cmnd, int lo, int hi, double rate) {
    int t = -1;
    for (int s = lo; s <= hi; ++s) {
        if (cmnd[size_t(s)] < kStartDip) {
            t = s;
            while (t + 1 <= hi && cmnd[size_t(t) + 1] < cmnd[size_t(t)]) ++t;
            break;
        }
    }
    if (t < 0) {
        t = lo;
        for (int s = lo; s <= hi; ++s)
            if (cmnd[size_t(s)] < cmnd[size_t(t)]) t = s;
    }
    for (int k : {2, 3}) {
        const int m = dip_near(cmnd, double(t) * k, 0.03, lo, hi);
        if (m > 0 && in_ratio(m, t, k) && cmnd[size_t(t)] > 0.04 && cmnd[size_t(m)] < 0.5 * cmnd[size_t(t)]) {
            t = m;
            break;
        }
    }
    if (track.voiced && track.frequency > 0) {
        const double before = rate / track.frequency;
        const int held = dip_near(cmnd, before, 0.04, lo, hi);
        if (held > 0 && held != t) {
            const bool lower = in_ratio(t, before, 2) || in_ratio(t, before, 3);
            const bool higher = in_ratio(before, t, 2) || in_ratio(before, t, 3);
            if (lower && cmnd[size_t(held)] < kHoldDip) t = held;
            if (higher && cmnd[size_t(t)] > 0.04 && cmnd[size_t(held)] < cmnd[size_t(t)]) t = held;
        }
    }
    return t;
}

double line_power(const TrackerInput& in, int k) { return in.re[k] * in.re[k] + in.im[k] * in.im[k]; }

// The line of the spectrum's maximum within reach of `centre` (in lines) for harmonics `spacing`
// lines apart; -1 where the strongest line there is the flank of something outside the reach.
int maximum_near(const TrackerInput& in, double centre, double spacing) {
    const int half = in.n / 2;
    const double reach = std::min(std::max(2.0, kHarmonicSlack * centre), 0.5 * spacing - 1);
    const int a = std::max(1, int(centre - reach)), b = std::min(half - 2, int(centre + reach) + 1);
    int best = a;
    for (int k = a; k <= b; ++k)
        if (line_power(in, k) > line_power(in, best)) best = k;
    const double p = line_power(in, best);
    if (best <= a || best >= b || !(p > line_power(in, best - 1) && p > line_power(in, best + 1))) return -1;
    return best;
}

// What the harmonics near multiples of a coarse fundamental say.
struct HarmonicReading {
    bool resolved = false;  // the spectrum separates the harmonics at all
    double f0 = 0;          // their precise frequencies fitted to h f0, each weighted by its power; 0: none fitted
    double inharmonicity = 0;  // B where the partials stray as a stiff string's: f0 is then partial 1's
    double b_span = 0;         // the highest partial B was fitted on over the lowest (0: B not fitted here)
    int lowest = 0;         // the lowest harmonic number that stands out (0: none)
    int common = 0;         // the greatest common divisor of those that stand out
};

// `known_b`: the inharmonicity of the string followed so far (0: none), which reads the partials
// where too few of them stand to fit it again (the tail of a note, a block its end cuts through).
HarmonicReading from_harmonics(Work& w, PreciseTables& tables, const TrackerInput& in, double coarse,
                               double known_b = 0) {
    HarmonicReading r;
    if (!in.re || !in.im || in.n < 256) return r;
    const int half = in.n / 2;
    const double per_hz = in.n / in.rate;
    const double spacing = coarse * per_hz;
    const double lobe = MainLobeLines(tables, in.n, in.samples, in.type);
    if (spacing < 2 * lobe + 2) return r;
    r.resolved = true;
    using Harmonic = Work::Harmonic;
    std::vector<Harmonic>& found = w.found;
    found.clear();
    double strongest = 0;
    for (int h = 1; h <= kHarmonics; ++h) {
        const double centre = h * spacing;
        if (centre + lobe + 2 >= half) break;
        const int best = maximum_near(in, centre, spacing);
        if (best < 0) continue;
        const double p = line_power(in, best);
        found.push_back({h, best, p});
        strongest = std::max(strongest, p);
    }
    // Those that stand out name the harmonics present; the few that weigh most in the fit (power
    // times h squared) are read precisely, the rest would change the result by little.
    found.erase(std::remove_if(found.begin(), found.end(), [&](const Harmonic& f) { return f.power < 1e-3 * strongest; }),
                found.end());
    for (const Harmonic& f : found) {
        if (r.lowest == 0) r.lowest = f.h;
        r.common = std::gcd(r.common, f.h);
    }
    std::sort(found.begin(), found.end(),
              [](const Harmonic& x, const Harmonic& y) { return x.power * x.h * x.h > y.power * y.h * y.h; });
    double num = 0, den = 0, on_string = 0, first_partial = 0;
    // The stiff string's model, (line / h)^2 = f0^2 + f0^2 B h^2, fitted in h^2 by weighted least squares.
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    int fitted = 0, lowest_fitted = 0, highest_fitted = 0;
    for (size_t i = 0; i < std::min<size_t>(found.size(), kFittedHarmonics); ++i) {
        const Harmonic& f = found[i];
        const PreciseLine fit = PrecisePeakLine(tables, in.re, in.im, in.n, f.line, in.samples, in.type);
        if (!fit.fitted || std::fabs(fit.line / (f.h * spacing) - 1) > kHarmonicSlack) continue;
        num += f.power * f.h * fit.line;
        den += f.power * f.h * f.h;
        on_string += f.power * f.h * fit.line / std::sqrt(1 + known_b * f.h * f.h);
        if (f.h == 1) first_partial = fit.line;
        const double x = double(f.h) * f.h, y = (fit.line / f.h) * (fit.line / f.h), wt = f.power * x;
        sw += wt, sx += wt * x, sy += wt * y, sxx += wt * x * x, sxy += wt * x * y;
        ++fitted;
        lowest_fitted = lowest_fitted ? std::min(lowest_fitted, f.h) : f.h;
        highest_fitted = std::max(highest_fitted, f.h);
    }
    if (den > 0) r.f0 = num / den / per_hz;
    // Three partials or more, spread at least threefold, that stray sharp as a stiff string's do.
    const double spread = sw * sxx - sx * sx;
    const bool fits_b = fitted >= 3 && highest_fitted >= 3 * lowest_fitted && spread > 0;
    if (fits_b) {
        const double slope = (sw * sxy - sx * sy) / spread, intercept = (sy - slope * sx) / sw;
        const double b = intercept > 0 ? slope / intercept : 0;
        if (b > kLeastInharmonicity && b < kMostInharmonicity) {
            r.inharmonicity = b;
            r.b_span = double(highest_fitted) / lowest_fitted;
            r.f0 = std::sqrt(intercept + slope) / per_hz;
        }
    }
    if (!fits_b && known_b > 0 && den > 0) {
        r.inharmonicity = known_b;
        r.f0 = (first_partial > 0 ? first_partial : on_string / den * std::sqrt(1 + known_b)) / per_hz;
    }
    return r;
}

// Whether a note read at f (Hz) is still the second harmonic of the one an octave lower followed so
// far: at least two of the lower note's first three odd harmonics (half, one and a half and two and
// a half times f) stand as maxima well above the spectrum's floor and within 35 dB of f's strongest
// harmonic. A low string whose fundamental and odd partials have died down to a fraction of its
// second partial still sounds the lower note; a note that is f itself has only noise there.
// `new_note`: no lower note was followed, so the evidence must be plainer: the first and third
// odd harmonics both within 30 dB of the strongest and 30 dB over the floor (a reed's towering
// second partial over a clear first).
bool octave_below(Work& w, PreciseTables& tables, const TrackerInput& in, double f, bool new_note = false) {
    if (!in.re || !in.im || in.n < 256 || f / 2 < in.lowest) return false;
    const int half = in.n / 2;
    const double spacing = 0.5 * f * in.n / in.rate;  // the lower note's harmonics apart, in lines
    const double lobe = MainLobeLines(tables, in.n, in.samples, in.type);
    if (spacing < 2 * lobe + 2 || 5 * spacing + lobe + 2 >= half) return false;
    double strongest = 0;
    for (int h = 2; h <= 12 && h * spacing + 2 < half; h += 2) {
        const int at = int(std::lround(h * spacing));
        for (int k = std::max(1, at - 2); k <= at + 2; ++k) strongest = std::max(strongest, line_power(in, k));
    }
    // The odd harmonics' maxima (-1: none), first against the strongest: the floor, a median of
    // the whole spectrum, is looked for only when enough of them stand that near.
    const double near_strongest = new_note ? strongest * 1e-3 : strongest * std::pow(10.0, -3.5);
    std::array<double, 3> odd{};
    int near = 0;
    for (int i = 0; i < 3; ++i) {
        const int best = maximum_near(in, (2 * i + 1) * spacing, spacing);
        odd[size_t(i)] = best >= 0 ? line_power(in, best) : -1.0;
        if (odd[size_t(i)] >= near_strongest) ++near;
        else if (new_note && i < 2) return false;
    }
    if (near < 2) return false;
    std::vector<double>& powers = w.d;
    powers.resize(size_t(half) - 1);
    for (int k = 1; k < half; ++k) powers[size_t(k) - 1] = line_power(in, k);
    const double floor = NthSmallest(powers.data(), powers.size(), powers.size() / 2, w.cmnd);
    const double least = std::max(near_strongest, (new_note ? 1000 : 30) * floor);
    int standing = 0;
    for (int i = 0; i < 3; ++i) {
        if (odd[size_t(i)] >= least) ++standing;
        else if (new_note && i < 2) return false;
    }
    return standing >= 2;
}

// Whether the note is k times `coarse` (Hz) where coarse's own harmonics lie too close to be told
// apart: the multiples of k coarse hold the energy and the other multiples of coarse, which lie
// between them, next to none.
bool only_multiples(PreciseTables& tables, const TrackerInput& in, double coarse, int k) {
    if (!in.re || !in.im || in.n < 256) return false;
    const int half = in.n / 2;
    const double step = coarse * in.n / in.rate;
    const double lobe = MainLobeLines(tables, in.n, in.samples, in.type);
    if (k * step < 2 * lobe + 2) return false;
    double on = 0, off = 0;
    for (int h = 1; h <= k * kHarmonics && h * step + lobe + 2 < half; ++h) {
        const double centre = h * step, reach = std::min(std::max(1.0, kHarmonicSlack * centre), 0.25 * step);
        double p = 0;
        for (int j = std::max(1, int(centre - reach)); j <= int(centre + reach) + 1; ++j) p = std::max(p, line_power(in, j));
        (h % k == 0 ? on : off) += p;
    }
    return on > 0 && off < 0.01 * on;
}

// Where a coarse fundamental's harmonics lie too close to be read one by one, whether the spectrum's
// strongest maxima still belong to one note of it: each within reach of a multiple of it, and the
// lowest among the first three. A chord's common root (G1 under a G major triad, whose notes are its
// fourth, fifth and sixth multiples; or a root the chord's notes only roughly share) fails.
bool one_note_of(Work& w, const TrackerInput& in, double coarse) {
    if (!in.re || !in.im || in.n < 256) return true;
    const int half = in.n / 2;
    const double per_hz = in.n / in.rate;
    const int last = std::min(half - 2, int(kHarmonics * 3 * coarse * per_hz) + 2);
    // The strongest maxima, each placed between lines by the parabola through its log powers.
    using Harmonic = Work::Harmonic;
    std::vector<Harmonic>& maxima = w.found;
    maxima.clear();
    double strongest = 0;
    for (int k = 2; k < last; ++k) {
        const double p = line_power(in, k);
        if (p > line_power(in, k - 1) && p >= line_power(in, k + 1)) {
            maxima.push_back({0, k, p});
            strongest = std::max(strongest, p);
        }
    }
    if (strongest <= 0) return true;
    std::sort(maxima.begin(), maxima.end(), [](const Harmonic& a, const Harmonic& b) { return a.power > b.power; });
    // Harmonics closer than three lines disturb each other's maxima: one may stray.
    int strays = coarse * per_hz < 3 ? 1 : 0;
    int lowest = 0;
    for (size_t i = 0; i < maxima.size() && i < 8; ++i) {
        const Harmonic& m = maxima[i];
        if (m.power < 0.01 * strongest) break;
        const double a = std::log(line_power(in, m.line - 1) + 1e-300), b = std::log(m.power),
                     c = std::log(line_power(in, m.line + 1) + 1e-300);
        const double bend = a - 2 * b + c;
        const double line = m.line + (bend < 0 ? std::clamp(0.5 * (a - c) / bend, -0.5, 0.5) : 0.0);
        const double multiple = line / (coarse * per_hz);
        const int h = int(std::lround(multiple));
        // Half a line either way, and the slack a harmonic has.
        const double reach = 0.5 / (coarse * per_hz) + kHarmonicSlack * multiple;
        if (h < 1 || std::fabs(multiple - h) > std::max(reach, 0.1)) {
            if (strays-- > 0) continue;
            return false;
        }
        lowest = lowest == 0 ? h : std::min(lowest, h);
    }
    return lowest >= 1 && lowest <= 3;
}

}  // namespace

void ResetFundamentalTrack(FundamentalTrackRecord& track) {
    track.voiced = false;
    track.frequency = track.inharmonicity = track.b_span = 0;
}

void TrackFundamental(FundamentalTrackRecord& track, PreciseTables& tables, const TrackerInput& in,
                      BlockAnalysis& out) {
    out.f0_voiced = false;
    out.f0_frequency = out.f0_confidence = out.f0_cents = out.f0_inharmonicity = 0;
    out.f0_note.clear();
    Work& w = track;
    const double rate = in.rate;
    // Lags from the highest note to the lowest, as far as the block holds two periods and a
    // window of at least the longest of them (and 40 ms) to compare.
    const int lo = std::max(2, int(std::ceil(rate / in.highest)));
    const int longest = int(rate / in.lowest);
    const int hi = std::min(longest, in.samples / 2);
    if ((!in.data && !in.mono) || rate <= 0 || hi < lo + 3) {
        track.voiced = false;
        return;
    }
    const int width = std::max(hi, int(0.04 * rate));
    const int length = std::min(in.samples, hi + width);
    const double rms = load_frame(in, length, w.x);
    // Samples that are not numbers (a damaged float file) name no note.
    if (!std::isfinite(rms)) {
        track.voiced = false;
        return;
    }
    difference(w, length, hi);
    int t = choose_lag(track, w.cmnd, lo, hi - 1, rate);
    // Where the periodicity is unclear, it is read again from the frame with its noise floor taken
    // off: a voice in noise as strong as itself still repeats there.
    if (w.cmnd[size_t(t)] >= kStartDip && rms > kSilence) {
        take_off_noise_floor(w, length);
        difference(w, length, hi);
        t = choose_lag(track, w.cmnd, lo, hi - 1, rate);
    }
    const double dip = w.cmnd[size_t(t)];
    // A dip still falling at the longest lag the block holds belongs to a period the block cannot
    // show (a note below its reach): the lag at the edge would name a wrong note.
    const bool cut_off = w.cmnd[size_t(t) + 1] <= dip && t + 1 >= hi;
    if (!(rms > kSilence) || !(dip < kVoicedDip) || cut_off) {
        track.voiced = false;
        return;
    }
    // Between the lags: the parabola through the differences about the dip.
    const double a = w.d[size_t(t) - 1], b = w.d[size_t(t)], c = w.d[size_t(t) + 1];
    const double bend = a - 2 * b + c;
    const double shift = bend > 0 ? std::clamp(0.5 * (a - c) / bend, -0.5, 0.5) : 0.0;
    double f = rate / (t + shift);

    // The string followed so far, while this is still its note.
    const bool same_string = track.voiced && track.inharmonicity > 0 && std::fabs(std::log2(f / track.frequency)) < 0.05;
    const double known_b = same_string ? track.inharmonicity : 0.0;
    HarmonicReading h = from_harmonics(w, tables, in, f, known_b);
    // Harmonics that are all multiples of one number belong to a note that many times higher: a
    // period the lags saw twice (a string whose period falls between two samples) or three times.
    if (h.resolved && h.common > 1) {
        f *= h.common;
        h = from_harmonics(w, tables, in, f);
    } else if (!h.resolved) {
        for (int k : {2, 3}) {
            if (only_multiples(tables, in, f, k)) {
                f *= k;
                h = from_harmonics(w, tables, in, f);
                break;
            }
        }
    }
    // Where the harmonics can be told apart, the note has one among its first three; a chord's
    // common root has none.
    if (h.resolved) {
        if (h.lowest == 0 || h.lowest > 3) {
            track.voiced = false;
            return;
        }
        // A note followed so far keeps its octave through its decay; a new note goes down an octave
        // only on plain evidence.
        const double read = h.f0 > 0 ? h.f0 : f;
        const bool following_lower = track.voiced && in_ratio(read, track.frequency, 2);
        if (following_lower ? octave_below(w, tables, in, read) : octave_below(w, tables, in, read, true)) {
            const HarmonicReading lower = from_harmonics(w, tables, in, 0.5 * read);
            if (lower.resolved && lower.lowest >= 1 && lower.lowest <= 3 && lower.f0 > 0) h = lower;
        }
        if (h.f0 > 0) f = h.f0;
    } else if (!one_note_of(w, in, f)) {
        track.voiced = false;
        return;
    }
    if (f < in.lowest || f > in.highest) {
        track.voiced = false;
        return;
    }
    out.f0_voiced = true;
    out.f0_frequency = f;
    out.f0_confidence = std::clamp(1 - dip, 0.0, 1.0);
    out.f0_inharmonicity = h.resolved ? h.inharmonicity : 0.0;
    // B is the string's: a fit over fewer partials (its upper ones dying away) is less sure of it
    // than the one kept, which stays.
    double b_span = h.resolved ? h.b_span : 0.0;
    if (same_string && h.resolved && h.inharmonicity > 0 && h.b_span < track.b_span) {
        out.f0_inharmonicity = track.inharmonicity;
        b_span = track.b_span;
    }
    const double heard = at_standard_pitch(f, in.reference_a4);
    out.f0_note = note_name(heard);
    out.f0_cents = cents_from_note(heard);
    track.voiced = true;
    track.frequency = f;
    track.inharmonicity = out.f0_inharmonicity;
    track.b_span = out.f0_inharmonicity > 0 ? std::max(b_span, same_string ? track.b_span : 0.0) : 0.0;
}

}  // namespace dl
