#include "analysis/peaks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/analyser.h"
#include "analysis/analysis_stop.h"
#include "analysis/note_names.h"
#include "analysis/peak_candidates.h"
#include "analysis/peak_screen.h"
#include "analysis/pipeline.h"
#include "analysis/pitch.h"
#include "analysis/precise_peak.h"

namespace dl {

namespace {

// Cents to the whole cent, signed, as the labels of the estimator between lines show them.
std::string rounded_cents(double cents) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.0f", cents);
    return text;
}

[[noreturn]] void assertion_failed(const char* expression, int line) {
    char text[128];
    std::snprintf(text, sizeof text, "Assertion failed: %s, file %s, line %d", expression, "DEWLARK.C", line);
    throw AnalysisStop(text, text, false, 3);
}

// Pitch bands of the voice pointer: group A then group B, bounds in Hz for sex 1.
struct Band {
    double lo, hi;
};
constexpr std::array<Band, 10> kGroupA = {{{123, 138}, {156, 175}, {185, 208}, {220, 247}, {247, 277},
                                           {311, 349}, {370, 415}, {440, 494}, {494, 554}, {622, 698}}};
constexpr std::array<Band, 5> kGroupB = {{{467, 524}, {555, 624}, {660, 741}, {741, 831}, {933, 1047}}};

void mark_bands(int s, double f, std::array<int, 15>& flags) {
    for (size_t i = 0; i < kGroupA.size(); ++i) {
        if (f > kGroupA[i].lo * s && f < kGroupA[i].hi * s) {
            flags[i] = 1;
            break;
        }
    }
    for (size_t i = 0; i < kGroupB.size(); ++i) {
        if (f > kGroupB[i].lo * s && f < kGroupB[i].hi * s) {
            flags[10 + i] = 1;
            break;
        }
    }
}

void chord_pointer(const std::array<int, 15>& flags, int j, std::vector<PointerAction>& actions) {
    using Kind = PointerAction::Kind;
    auto a = [&](int i) { return flags[size_t(i)]; };
    auto b = [&](int i) { return flags[size_t(10 + i)]; };
    if (a(0) + a(4) + a(6) >= 2) {
        actions.push_back({Kind::Move, 0, j});
    } else if (a(1) + a(5) + b(0) >= 2) {
        actions.push_back({Kind::Move, -j, 0});
    } else if (a(2) + a(6) + b(1) >= 2) {
        actions.push_back({Kind::Move, 0, -j});
    } else if (a(3) + a(7) + b(2) >= 2) {
        actions.push_back({Kind::Move, j, 0});
    } else if (a(4) + a(8) + b(3) >= 2 && j >= 2) {
        actions.push_back({Kind::LeftClick, 0, 0});
    } else if (a(5) + a(9) + b(4) >= 2 && j >= 2) {
        actions.push_back({Kind::RightClick, 0, 0});
    }
}

template <bool Tilt>
double line_power(const double* re, const double* im, int n, int k) {
    const double p = re[k] * re[k] + im[k] * im[k];
    if constexpr (!Tilt) return p;
    return k == 0 ? p * 0.5 / n * 16 : p * k / n * 16;
}

// One pass over the lines offering every strict local maximum below `limit`.
template <bool Tilt>
void gather(PeakCandidates& c, const double* re, const double* im, int n, int wanted, double limit) {
    c.begin(wanted, limit);
    const int half = n / 2;
    double prev = 0, cur = half > 0 ? line_power<Tilt>(re, im, n, 0) : 0;
    for (int k = 0; k < half; ++k) {
        const double next = k + 1 < half ? line_power<Tilt>(re, im, n, k + 1) : 0;
        // Most lines of a long spectrum lie below the weakest maximum kept: that test comes first,
        // since it is nearly always false, and the less foreseeable one only for the rest.
        if (cur >= c.floor() && cur > prev && cur > next) c.offer(cur, k);
        prev = cur;
        cur = next;
    }
    c.end();
}

void gather(bool tilt, PeakCandidates& c, const double* re, const double* im, int n, int wanted, double limit) {
    if (tilt) gather<true>(c, re, im, n, wanted, limit);
    else gather<false>(c, re, im, n, wanted, limit);
}

}  // namespace

void PeakCandidates::begin(int wanted, double limit) {
    whole_ = wanted < 0;
    capacity_ = whole_ ? heap_.max_size() : size_t(std::clamp(2 * wanted + 8, 16, 4096));
    limit_ = limit;
    floor_ = -1;
    more_ = false;
    heap_.clear();
}

void PeakCandidates::insert(double p, int bin) {
    if (whole_) {
        heap_.push_back({p, bin});
        return;
    }
    // The heap's top is the weakest kept entry.
    if (heap_.size() == capacity_) {
        more_ = true;
        std::pop_heap(heap_.begin(), heap_.end(), stronger);
        heap_.back() = {p, bin};
    } else {
        heap_.push_back({p, bin});
    }
    std::push_heap(heap_.begin(), heap_.end(), stronger);
    if (heap_.size() == capacity_) floor_ = heap_.front().power;
}

void PeakCandidates::end() {
    taken_ = 0;
    // A full heap may have left out maxima weaker than its weakest without evicting one (they came
    // after it filled): the next pass looks for them.
    if (!whole_ && heap_.size() == capacity_) more_ = true;
    if (whole_) {
        // Most of a long list's maxima are never asked for: they stay in the heap unsorted.
        std::make_heap(heap_.begin(), heap_.end(), weaker);
        return;
    }
    std::sort_heap(heap_.begin(), heap_.end(), stronger);
    ready_.assign(heap_.begin(), heap_.end());
}

bool PeakCandidates::next(double below, double& power, int& bin) {
    if (whole_) {
        while (!heap_.empty() && heap_.front().power >= below) {
            std::pop_heap(heap_.begin(), heap_.end(), weaker);
            heap_.pop_back();
        }
        if (heap_.empty()) return false;
        power = heap_.front().power;
        bin = heap_.front().bin;
        std::pop_heap(heap_.begin(), heap_.end(), weaker);
        heap_.pop_back();
        return true;
    }
    while (taken_ < ready_.size() && ready_[taken_].power >= below) ++taken_;
    if (taken_ == ready_.size()) return false;
    power = ready_[taken_].power;
    bin = ready_[taken_].bin;
    ++taken_;
    return true;
}

bool UsePreciseEstimator(const AnalysisParams& params) { return params.precise_peaks != 0 && params.wavmode != 2; }

double RefinePeakFrequency(const double* re, const double* im, int b, int n, int samples, double rate, int window) {
    const int half = n / 2;
    double up = -1, down = 2;
    if (b + 1 < half) {
        const double dr = re[b + 1] - re[b], di = im[b + 1] - im[b];
        const double d2 = dr * dr + di * di;
        if (d2 != 0) up = (dr * re[b + 1] + di * im[b + 1]) / d2;
    }
    if (b >= 1) {
        const double dr = re[b] - re[b - 1], di = im[b] - im[b - 1];
        const double d2 = dr * dr + di * di;
        if (d2 != 0) down = (dr * re[b] + di * im[b]) / d2;
    }
    const double f_up = rate * (b + up) / n;
    const double f_down = rate * (b - 1 + down) / n;
    if (up > -1 && down < 2 && !(window == kRectangularWindow && samples >= n)) {
        // Both neighbours: weight each estimate by how much of its neighbour lies along the slope.
        const double ur = re[b + 1] - re[b], ui = im[b + 1] - im[b];
        const double vr = re[b - 1] - re[b], vi = im[b - 1] - im[b];
        const double ul = std::sqrt(ur * ur + ui * ui), vl = std::sqrt(vr * vr + vi * vi);
        const double w_up = (re[b + 1] * ur + im[b + 1] * ui) / ul;
        const double w_down = (re[b - 1] * vr + im[b - 1] * vi) / vl;
        const double f = (f_up * w_up + f_down * w_down) / (w_up + w_down);
        if (std::isfinite(f)) return f;
    }
    if (up > -1 && std::fabs(down - 0.367) > std::fabs(up - 0.367)) return f_up;
    if (down < 2) return f_down;
    return b * rate / n;
}

namespace {

// The lowest frequency a peak is named with its cents or taken for the A4 pitch.
double ResolvedFloorHz(PreciseTables& tables, const AnalysisParams& s, int n, int samples, bool precise,
                       double rate) {
    double floor_hz = s.use_complex ? rate / n * 4 : rate / n * 40;
    if (precise) floor_hz = LowestResolvedLine(tables, n, samples, s.mado) * rate / n;
    return floor_hz < 25 ? 25 : floor_hz;
}

// A label for the peak at line b in row i, with its frequency as the chosen method reads it.
PeakLabel FrequencyLabel(PreciseTables& tables, const AnalysisParams& s, const double* re, const double* im, int n,
                         int b, int i, int samples, double rate, bool precise) {
    PeakLabel label;
    label.row = i;
    label.bin = b;
    double f = b * rate / n;
    if (precise) {
        label.place = PrecisePeakLine(tables, re, im, n, b, samples, s.mado).line;
        f = label.place * rate / n;
    } else if (s.use_complex) {
        f = RefinePeakFrequency(re, im, b, n, samples, rate, s.mado);
    }
    label.frequency = f;
    label.text = s.use_onmei == 0 && (!(s.use_complex || precise) || f > 0) ? PeakLabel::Text::Figure
                                                                             : PeakLabel::Text::None;
    return label;
}

// Names the label's note (with its cents for the name+pitch labels); false when an earlier row
// already named that note. keys holds the notes of the first hundred rows.
bool NamePeakNote(const AnalysisParams& s, PeakLabel& label, int i, bool precise, double floor_hz,
                  std::array<int16_t, 100>& keys) {
    const double f = label.frequency;
    const double named = at_standard_pitch(f, s.reference_a4);
    if (f > 0) {
        const int16_t key = note_of(named).key;
        for (int j = 0; j < std::min(i, 100); ++j)
            if (keys[size_t(j)] == key) return false;
        if (i < 100) keys[size_t(i)] = key;
    }
    label.text = PeakLabel::Text::Note;
    label.note = note_name(named);
    if (s.use_onmei == 2) {
        if (f > floor_hz)
            label.note += precise ? SignedCents(a4_cents(named)) : rounded_cents(a4_cents(named));
        else
            label.nudged = true;
    }
    return true;
}

}  // namespace

void ListPeaks(Analyser& an, const AnalysisParams& s, AnalysisPurpose purpose, const double* re, const double* im,
               int strongest, int n, uint32_t byte_count, PeakCandidates* gathered, BlockAnalysis& out) {
    const bool steers = VoicePointerActive(s, purpose);
    std::array<int, 15> flags{};
    int step = 0;
    double candidate = 0;
    const double rate = s.sample_rate;
    const bool wide = WideSamples(s);
    const int samples = int(wide ? byte_count / 2 : byte_count);
    const bool precise = UsePreciseEstimator(s);
    const double floor_hz = ResolvedFloorHz(an.precise, s, n, samples, precise, rate);
    std::array<int16_t, 100> keys{};
    if (s.use_onmei != 0) keys.fill(-32768);

    if (n == 0) assertion_failed("n", 2535);
    if (s.freqnum == 0) assertion_failed("freqnum", 2577);
    if (n / 2 == 0) assertion_failed("n/2", 2604);
    int b = std::clamp(strongest, 0, n / 2 - 1);

    double power = s.katamuki ? line_power<true>(re, im, n, b) : line_power<false>(re, im, n, b);
    const double first = power;

    out.peak_list = true;
    const double weakest = wide ? 0.0005 : 0.000005;
    const double audible = wide ? 4.3 : 0.00006;
    // Unless the tick's pass over the spectrum gathered them already, the maxima below the first.
    PeakCandidates& candidates = gathered ? *gathered : an.listed;
    if (!gathered) gather(s.katamuki != 0, candidates, re, im, n, s.freqnum, first);
    // Past the first few, a second pass keeps every maximum left: the precise list may pass over
    // a few hundred, and a pass costs the whole spectrum however few it keeps.
    auto next_peak = [&](double below, double& p, int& bin) {
        while (!candidates.next(below, p, bin)) {
            if (!candidates.incomplete()) return false;
            gather(s.katamuki != 0, candidates, re, im, n, -1, below);
        }
        return true;
    };
    // The precise list passes over maxima that are no tones (a rectangular window's side lobes run
    // to a hundred above a tone 40 dB down); past a few hundred of them the rest is noise as well.
    PeakScreen& screen = an.screen;
    if (precise) screen.start(an.precise, re, im, n, samples, s.mado);
    int passed_over = 0;
    const int most_passed_over = 256 + 4 * s.freqnum;

    for (int i = 0; i < s.freqnum; ++i) {
        if (power < weakest) break;
        if (precise && !screen.admits(b)) {
            --i;
            if (++passed_over > most_passed_over || !next_peak(power, power, b)) power = 0;
            continue;
        }

        PeakLabel label = FrequencyLabel(an.precise, s, re, im, n, b, i, samples, rate, precise);
        const double f = label.frequency;
        if (f > floor_hz && candidate == 0 && 16 * power > first && power > audible) {
            candidate = f;
            if (!s.labels_read && !steers) break;
        }

        const bool repeated = s.use_onmei != 0 && !NamePeakNote(s, label, i, precise, floor_hz, keys);
        if (repeated) {
            --i;  // the next distinct note takes this row
        } else {
            if (i == 0) step = PointerStep(s, power);
            if (s.withlevel) {
                label.with_level = true;
                label.level = PowerLevel(s, power);
            }
            if (steers) mark_bands(s.sex, f, flags);
            out.labels.push_back(std::move(label));
        }

        if (!next_peak(power, power, b)) power = 0;
    }

    if (steers) chord_pointer(flags, step, out.pointer);
    if (precise) UpdateSteadyA4(an, s, purpose, candidate > floor_hz ? candidate : 0, out);
    else if (candidate > floor_hz) UpdateA4Pitch(an, purpose, candidate, out);
}

}  // namespace dl
