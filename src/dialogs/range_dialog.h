#pragma once
#include <string>

namespace dl {

// The frequency and level range of the graphs. 1 when accepted (the settings then hold the range).
int RunRangeDialog();

// Checks a typed range against a source of `nyquist` Hz (0: none open); empty when it is sound,
// else what is wrong. On success the four values are set.
std::string CheckTypedRange(const std::string& low, const std::string& high, const std::string& top,
                            const std::string& span, double nyquist, int& low_hz, int& high_hz, int& top_db,
                            int& span_db);

}  // namespace dl
