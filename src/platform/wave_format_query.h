#pragma once
#include <cstdint>
#include <vector>

#include "platform/wave_device.h"

namespace dl {

// Whether the wave-out device could play this format record (directly, or through the converter):
// kWaveOk, or kWaveBadFormat; opens no device.
int wave_out_query(const std::vector<uint8_t>& record);

}  // namespace dl
