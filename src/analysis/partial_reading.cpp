#include "analysis/partial_reading.h"

#include <cmath>

#include "analysis/note_names.h"

namespace dl {

PartialReading ReadPartial(double first, double b, int k, int reference_a4) {
    if (k < kFirstPartial || k > kLastPartial) k = kFirstPartial;
    if (!(b > 0)) b = 0;
    // f_k = k f0 sqrt(1 + B k^2), and the first partial f_1 = f0 sqrt(1 + B).
    PartialReading r;
    r.frequency = k == 1 ? first : k * first * std::sqrt((1 + b * k * k) / (1 + b));
    const double heard = at_standard_pitch(r.frequency, reference_a4);
    r.note = note_name(heard);
    r.cents = cents_from_note(heard);
    return r;
}

}  // namespace dl
