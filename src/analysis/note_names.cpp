#include "analysis/note_names.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>


namespace dl {

namespace {

std::string format_cents(double cents) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.0f", cents);
    return buf;
}

}  // namespace

QuotRem FloorDivMod(int a, int b) {
    if (b == 0) return {0, a};
    int q = a / b, r = a % b;
    if (r != 0 && ((r < 0) != (b < 0))) {
        --q;
        r += b;
    }
    return {q, r};
}

NoteOf note_of(double frequency) {
    NoteOf n;
    if (!(frequency > 0)) return n;
    const double s = std::log(frequency / 523.25113) / std::log(1.0594630943592953);
    const int j = s > 0 ? int(s + 0.5) : int(s - 0.5);
    const QuotRem qr = FloorDivMod(j, 12);
    n.semitones = j;
    n.key = int16_t(j + 72);
    n.octave = qr.quot + 5;
    n.pitch_class = qr.rem;
    return n;
}

std::string note_name(double frequency) {
    static const char* const kNames[12] = {"C%d", "C#%d", "D%d", "Eb%d", "E%d", "F%d",
                                           "F#%d", "G%d", "G#%d", "A%d", "Bb%d", "B%d"};
    const NoteOf n = note_of(frequency);
    if (n.pitch_class < 0) return "0Hz";
    char buf[32];
    std::snprintf(buf, sizeof buf, kNames[n.pitch_class], n.octave);
    return buf;
}

double at_standard_pitch(double frequency, int reference_a4) {
    if (reference_a4 == 4400) return frequency;
    return frequency * 440.0 / (reference_a4 / 10.0);
}

double cents_from_note(double frequency) {
    const NoteOf n = note_of(frequency);
    if (n.pitch_class < 0) return 0;
    return 1200 * std::log2(frequency / (523.25113 * std::pow(2.0, n.semitones / 12.0)));
}

std::string SignedCents(double cents) {
    if (!std::isfinite(cents)) return format_cents(cents);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+ld", std::lround(cents));  // a whole zero has no sign
    return buf;
}

double fold_to_a4(double x) {
    if (!(x > 0) || !std::isfinite(x)) return 440.0;  // nothing to fold; keeps the loops finite
    if (x > 440) {
        while (x > 880) x *= 0.5;
    } else {
        while (x < 440) x *= 2;
    }
    while (x > 453) x *= 0.9438743126816934563;
    return x;
}

double a4_cents(double x) {
    return std::log(fold_to_a4(x) * (1.0 / 440)) / std::log(1.0005777895065548);
}

}  // namespace dl
