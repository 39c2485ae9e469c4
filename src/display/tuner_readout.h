#pragma once
// The tuner read-out: the note the tracker hears, large enough to read from a few metres, its cents
// as a figure and a needle on a scale of a half semitone either way, its frequency, and the
// reference A4 when it is not 440 Hz; the partial read when it is not the fundamental, and a stiff
// string's inharmonicity. It stands over the graph's top-left corner while
// Settings.tuner is on, drawn where the graph is (the window, or the flicker-free surface), under the
// peak labels; the graph under it is put back before the graph is drawn again.
#include <string>

#include "platform/dc.h"
#include "state/analysis.h"

namespace dl {

// What the read-out shows of a block's analysis: the note, cents and frequency of the partial the
// user chose (Settings.tuner_partial), and the string's inharmonicity where the tracker found one.
struct TunerReading {
    bool voiced = false;
    std::string note;
    double cents = 0;
    double frequency = 0;  // Hz
    int partial = 1;
    double inharmonicity = 0;
};
TunerReading ReadTuner(const BlockAnalysis& a);

// "+3", "-12", "+0": the whole cents the read-out shows.
std::string TunerCentsText(double cents);
// The needle's offset from the scale's middle for a deviation, `half` pixels at 50 cents.
int TunerNeedleOffset(double cents, int half);

// Takes the read-out off the window (what it covered comes back); nothing when it is not shown.
void HideTunerReadout(Dc& window);
// Draws it for a block's analysis, keeping what it covers.
void ShowTunerReadout(Dc& window, const BlockAnalysis& a);
// The window was painted afresh: nothing of the read-out is on it any more.
void ForgetTunerReadout();
// Settings.tuner was switched: the read-out comes or goes at once, wherever the graph is composed.
void RedrawTunerReadout(const BlockAnalysis& a);

}  // namespace dl
