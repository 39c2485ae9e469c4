#pragma once
#include <vector>

namespace dl {

struct MeterName {
    const char* english;
    const char* japanese;
};

// The choices of level_meter (0..2) and of meter_ballistics (0..4), as the View menu and the
// option dialog list them.
const std::vector<MeterName>& LevelMeterNames();
const std::vector<MeterName>& BallisticsNames();

// The loudness targets offered by name, in tenths of LUFS: streaming services, podcasts, broadcast.
inline constexpr int kLoudnessTargets[] = {-140, -160, -180, -230};

}  // namespace dl
