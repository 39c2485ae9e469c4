#pragma once
// What the analysis of one block yields: the display draws it, batch mode prints it, and the
// caller carries out what it asks (the pointer's steps, a failure's message).
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace dl {

// A level as the read-outs show it: decibels below full scale, or the amplitude as a fraction of
// full scale on the linear scale.
struct LevelFigure {
    bool decibel = true;
    int decibels = 0;
    double amplitude = 0;
};

// One row of the level meter as the tick measured it.
struct MeterReading {
    uint32_t level = 0;  // the largest magnitude of the channel's samples
    uint32_t unit = 0;   // a sixteenth of full scale
};

// One labelled peak of the peak list.
struct PeakLabel {
    enum class Text { None, Figure, Note };
    int row = 0;  // 0 the strongest
    int bin = 0;
    double place = -1;          // where the precise estimator put the peak, in lines (-1: at its line)
    double frequency = 0;       // refined from the complex spectrum when asked
    Text text = Text::Figure;   // the frequency as a figure, a note name, or nothing
    std::string note;           // the note name, with its cents under cents labelling
    bool nudged = false;        // a cents label without cents stands 1.5 cells to the right
    bool with_level = false;
    LevelFigure level;
};

// What the meter strip shows after a block. Per channel: the bar (the reading of the chosen
// ballistics over the block) and its held mark, the largest sample since the start or a reset, and
// the RMS of the last 300 ms, in dB of full scale (RMS as a sine reads it: at its peak level).
inline constexpr double kSilentDb = -std::numeric_limits<double>::infinity();
struct ChannelMeterReading {
    double bar = kSilentDb, held = kSilentDb, peak = kSilentDb, rms = kSilentDb;
};
// The loudness since the start or a reset: LUFS, LU, dBTP; the momentary and short-term values
// once their 400 ms and 3 s of sound have been measured.
struct LoudnessReading {
    bool measured = false;
    bool momentary_ready = false, short_term_ready = false;
    double momentary = kSilentDb, short_term = kSilentDb, integrated = kSilentDb;
    double range = 0;
    double true_peak = kSilentDb;
    double seconds = 0;
};
struct MeterStripReading {
    bool bars = false;
    int channels = 0;
    int weighting = 0;  // what the bars and figures read through: 0 none, 1 A, 2 C
    std::array<ChannelMeterReading, 2> channel{};
    LoudnessReading loudness;
};

// A step the voice asks of the desktop's pointer: a move by (dx, dy), or a click of a button.
struct PointerAction {
    enum class Kind { Move, LeftClick, RightClick };
    Kind kind = Kind::Move;
    int dx = 0, dy = 0;
    bool operator==(const PointerAction&) const = default;
};

struct BlockAnalysis {
    // A source that is neither PCM nor converted: no meter, no spectrum.
    bool level_unavailable = false;
    int meter_count = 0;
    std::array<MeterReading, 2> meters{};

    // Where the block starts in the sound, and the time its spectrum stands for (the middle of the
    // sound its transform hears), in seconds.
    double seconds = 0;
    double spectrum_seconds = 0;

    // The spectrum: display levels of lines 0..n/2-1 (the analyser's levels), shown in the current view.
    bool spectrum = false;
    int n = 0;
    const uint8_t* levels = nullptr;

    // Traces beyond the main one, as display levels of the same lines (null: not shown): the second
    // channel of two-channel traces, and the held largest and smallest levels.
    const uint8_t* second_levels = nullptr;
    const uint8_t* max_levels = nullptr;
    const uint8_t* min_levels = nullptr;

    // The "Peak" read-out of the strongest line.
    bool peak_shown = false;
    double peak_frequency = 0;
    LevelFigure peak_level;

    // The peak list (when labelling is on) and its labels, strongest first.
    bool peak_list = false;
    std::vector<PeakLabel> labels;

    // The "A4pitch" read-out: the mean over the last read-outs.
    bool a4_shown = false;
    double a4_frequency = 0;
    double a4_cents = 0;

    // The fundamental the tracker heard (nothing when the block is not voiced: noise, silence, a
    // chord), and how sure it is (0..1).
    bool f0_voiced = false;
    double f0_frequency = 0;
    double f0_confidence = 0;
    std::string f0_note;  // its note against the reference A4, "A4"
    double f0_cents = 0;  // and how far off that note
    // A stiff string's inharmonicity B (its partials at h f sqrt(1 + B h^2)); 0 for a harmonic sound
    // or where too few partials were read. f0_frequency is then its first partial's.
    double f0_inharmonicity = 0;

    // The frequencies were read by the precise estimator (the batch rows give them more digits).
    bool precise = false;

    // The stride the level scan read the block with (0: the block was not scanned); the run tunes
    // the next one from it.
    uint32_t level_stride = 0;
    // The meter strip's readings (when it or the batch rows' loudness columns want them).
    MeterStripReading strip;

    // What the voice asks of the pointer, in order; the caller carries it out.
    std::vector<PointerAction> pointer;

    // The analysis had to stop (no memory for its arrays, a broken precondition): the message in
    // either language, whether its box belongs to the window, and the exit status; 0: it went
    // through.
    int failure_status = 0;
    std::string failure_text, failure_text_japanese;
    bool failure_owned = true;

    void clear() {
        level_unavailable = spectrum = peak_shown = peak_list = a4_shown = f0_voiced = precise = false;
        f0_frequency = f0_confidence = f0_inharmonicity = 0;
        meter_count = 0;
        level_stride = 0;
        n = 0;
        levels = second_levels = max_levels = min_levels = nullptr;
        labels.clear();
        strip = MeterStripReading{};
        pointer.clear();
        failure_status = 0;
        failure_text.clear();
        failure_text_japanese.clear();
        failure_owned = true;
    }
};

}  // namespace dl
