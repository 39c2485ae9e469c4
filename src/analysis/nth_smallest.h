#pragma once
// The value at position k of a set of values were they sorted (what std::nth_element leaves at k),
// for the line powers of a spectrum: a median of thousands of them a block is a noise floor.
#include <cstddef>
#include <vector>

namespace dl {

// k < count. The values are left as they are; `scratch` holds the few that are ordered at the end.
// Non-negative finite values are counted by their bits (exponent, then the mantissa's leading bits),
// which leaves a handful to order; any other value falls back to ordering a copy of them all.
double NthSmallest(const double* values, size_t count, size_t k, std::vector<double>& scratch);

}  // namespace dl
