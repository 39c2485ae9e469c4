#pragma once
#include <cstdint>
#include <string>

namespace dl {

// Quotient towards minus infinity and the remainder that goes with it (sign of b).
struct QuotRem {
    int quot;
    int rem;
};
QuotRem FloorDivMod(int a, int b);

// The equal-tempered note nearest to a frequency, counted in semitones from C5 (523.25 Hz).
struct NoteOf {
    int semitones = 0;      // J: 0 for C5, -3 for A4
    int16_t key = 0;        // NoteKey: J + 72
    int octave = -1;        // -1 for f <= 0
    int pitch_class = -1;   // 0 C ... 9 A ... 11 B; -1 for f <= 0
};
NoteOf note_of(double frequency);
// "A4", "C#5", ...; "0Hz" for f <= 0.
std::string note_name(double frequency);

// A frequency as it would sound with A4 at 440 Hz, for naming it against the reference A4
// `reference_a4` (tenths of a hertz, the setting's unit): unchanged at a reference of 440.
double at_standard_pitch(double frequency, int reference_a4);

// How many cents a frequency lies above (or below) the equal-tempered note note_of names for it.
double cents_from_note(double frequency);

// Cents as a signed whole number, "+3", "-12"; a deviation that rounds to none reads "+0".
std::string SignedCents(double cents);

// Folds x into the semitone around A4, (427.57, 453] Hz.
double fold_to_a4(double x);
// Deviation in cents of the folded frequency from 440 Hz.
double a4_cents(double x);

}  // namespace dl
