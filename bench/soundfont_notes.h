#pragma once
// Real instrument notes for the pitch bench: rendered from a General MIDI soundfont with FluidSynth
// where both are installed, each with its pitch measured offline over its steady part (the
// soundfont's samples are detuned by a few cents from the notes they stand for).
#include <string>
#include <vector>

struct SoundfontNote {
    std::string instrument;
    int midi_note = 0;
    std::vector<double> x;  // mono, fractions of full scale
    double rate = 44100;
    double truth = 0;  // Hz, partial 1 over the steady part
};

// Seconds a note sounds (its frames are scored from 0.1 s to kScoredUntil).
inline constexpr double kNoteSeconds = 2.5, kScoredUntil = 2.0;

// The notes, rendered into `dir`; none when FluidSynth or the soundfont is missing.
std::vector<SoundfontNote> RenderSoundfontNotes(const std::string& dir);
