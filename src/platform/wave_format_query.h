#pragma once
#include <cstdint>
#include <vector>

namespace dl {

// Answers of the format query, as the wave-out device reports them.
inline constexpr int kWaveQueryOk = 0;
inline constexpr int kWaveQueryBadDeviceId = 2;
inline constexpr int kWaveQueryAllocated = 4;
inline constexpr int kWaveQueryNoMemory = 7;
inline constexpr int kWaveQueryBadFormat = 32;

// Whether the wave-out device could play this format record (directly, or through the converter);
// opens no device.
int wave_out_query(const std::vector<uint8_t>& record);

}  // namespace dl
