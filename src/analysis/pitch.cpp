#include "analysis/pitch.h"

#include <array>
#include <cmath>

#include "analysis/analyser.h"
#include "analysis/f0_tracker.h"
#include "analysis/note_names.h"
#include "analysis/pipeline.h"

namespace dl {

void ResetPitchHistory(Analyser& an) {
    an.pitch_history.cents.fill(kEmptyPitch);
    an.pitch_history.held_line = kNoHeldNote;
    ResetFundamentalTrack(an.fundamental);
    ResetFundamentalTrack(an.picture_pitch.track);
}

double MergeCents(double m, double v, int k) {
    if ((m >= 0 && v >= 0) || (m <= 0 && v <= 0) || std::fabs(m - v) <= 50) return (v + m * (k - 1)) / k;
    m += m >= 0 ? -100 : 100;
    double r = (v + m * (k - 1)) / k;
    while (r > 50) r -= 100;
    while (r < -50) r += 100;
    return r;
}

namespace {

// Adds a deviation (cents from the nearest note) to the history and gives the mean of the last
// eight, as far as the history holds them.
double add_and_merge(std::array<double, 8>& history, double dev) {
    for (size_t i = 0; i + 1 < history.size(); ++i) history[i] = history[i + 1];
    history.back() = dev;
    double m = dev;
    for (int k = 2; k <= 8; ++k) {
        const double v = history[8 - k];
        if (v > 100) break;
        m = MergeCents(m, v, k);
    }
    return m;
}

// The read-out of a mean deviation `m` from the tuning on `reference` (Hz).
void show_a4(Analyser& an, double reference, double m, BlockAnalysis& out) {
    out.a4_shown = true;
    out.a4_frequency = reference * std::pow(1.0005777895065548, m);
    // A mean that rounds to no cents reads 0, never "-0".
    out.a4_cents = std::fabs(m) < 0.5 ? 0.0 : m;
    an.shown.a4_frequency = out.a4_frequency;
    an.shown.a4_cents = out.a4_cents;
}

void show_kept_a4(const Analyser& an, BlockAnalysis& out) {
    out.a4_shown = true;
    out.a4_frequency = an.shown.a4_frequency;
    out.a4_cents = an.shown.a4_cents;
}

}  // namespace

void UpdateA4Pitch(Analyser& an, AnalysisPurpose purpose, double frequency, BlockAnalysis& out) {
    // A picture shows the A4 the buffers' blocks found: the history keeps to their order.
    if (purpose == AnalysisPurpose::PictureOnly) return show_kept_a4(an, out);
    show_a4(an, 440, add_and_merge(an.pitch_history.cents, a4_cents(frequency)), out);
}

void UpdateSteadyA4(Analyser& an, const AnalysisParams& params, AnalysisPurpose purpose, double frequency,
                    BlockAnalysis& out) {
    PitchHistoryRecord& h = an.pitch_history;
    const bool known = h.cents.back() <= 100;
    if (purpose == AnalysisPurpose::PictureOnly) {
        if (known) show_kept_a4(an, out);
        return;
    }
    const double reference = params.reference_a4 > 0 ? params.reference_a4 / 10.0 : 440.0;
    auto semitones = [&](double f) { return int(std::lround(12 * std::log2(f / reference))); };
    const int line = frequency > 0 ? semitones(frequency) : kNoHeldNote;
    const bool held = line != kNoHeldNote && line == h.held_line;
    h.held_line = line;
    if (held) {
        // Measured on the tuning laid on the chosen reference, so a reference far from 440 Hz
        // reads near itself, not near 440 Hz a semitone away.
        show_a4(an, reference, add_and_merge(h.cents, a4_cents(frequency * (440 / reference))), out);
    } else if (known && line != kNoHeldNote) {
        show_kept_a4(an, out);  // a note starting or moving says nothing of the tuning
    }
}

int PointerStep(const AnalysisParams& params, double power) {
    if (!(power > 0)) return 0;
    const int l = LevelDecibels(params, power);
    return l > -28 ? 32 : l > -31 ? 16 : l > -34 ? 8 : l > -37 ? 4 : l > -40 ? 2 : l > -46 ? 1 : 0;
}

// Pictures do not steer: the pointer moves a step a time slice whatever the pictures a second.
bool VoicePointerActive(const AnalysisParams& params, AnalysisPurpose purpose) {
    return params.VoicePointer != 0 && params.sex != 0 && params.voice_pointer_steers &&
           purpose != AnalysisPurpose::PictureOnly;
}

void VoicePointerSingle(const AnalysisParams& params, AnalysisPurpose purpose, double frequency, double power,
                        std::vector<PointerAction>& actions) {
    if (!VoicePointerActive(params, purpose)) return;
    using Kind = PointerAction::Kind;
    const auto inside = [s = params.sex](double f, double lo, double hi) { return f > lo * s && f < hi * s; };
    const int j = PointerStep(params, power);
    const double f = frequency;
    if (inside(f, 247, 277)) {
        actions.push_back({Kind::Move, 0, j});
    } else if (inside(f, 311, 349)) {
        actions.push_back({Kind::Move, -j, 0});
    } else if (inside(f, 370, 415)) {
        actions.push_back({Kind::Move, 0, -j});
    } else if (inside(f, 440, 494)) {
        actions.push_back({Kind::Move, j, 0});
    } else if (inside(f, 494, 554) && j >= 2) {
        actions.push_back({Kind::LeftClick, 0, 0});
    } else if (inside(f, 622, 698) && j >= 2) {
        actions.push_back({Kind::RightClick, 0, 0});
    }
}

}  // namespace dl
