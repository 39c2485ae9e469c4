#pragma once
// What a tuner shows for one partial of the note tracked: a piano tuner listens to the second or
// fourth partial of a bass string, not to its fundamental, and on a stiff string those stand sharp
// of whole multiples.
#include <string>

namespace dl {

inline constexpr int kFirstPartial = 1, kLastPartial = 8;

struct PartialReading {
    double frequency = 0;  // Hz
    std::string note;      // against the reference A4
    double cents = 0;
};

// Partial `k` (1 the fundamental) of a note whose first partial sounds at `first` Hz, on a string
// of inharmonicity `b` (0 for a harmonic sound), named against `reference_a4` (tenths of a hertz).
// A partial outside 1..8 reads as the first.
PartialReading ReadPartial(double first, double b, int k, int reference_a4);

}  // namespace dl
