#pragma once
#include <string>

#include "state/settings.h"

namespace dl {

// The frequency and level range of the graphs on `edited`. 1 when accepted (`edited` then holds the
// range).
int RunRangeDialog(SettingsRecord& edited);

// Checks a typed range against a source of `nyquist` Hz (0: none open); empty when it is sound,
// else what is wrong. On success the four values are set.
std::string CheckTypedRange(const std::string& low, const std::string& high, const std::string& top,
                            const std::string& span, double nyquist, int& low_hz, int& high_hz, int& top_db,
                            int& span_db);

}  // namespace dl
