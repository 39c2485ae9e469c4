#pragma once
// 8- or 16-bit PCM as floats (fractions of full scale), a run at a time, for those who measure the
// sound itself.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace dl {

// Hands the samples of `bytes` of PCM (16-bit little-endian when `sixteen`, else unsigned 8-bit) to
// `to` in runs, interleaved as they stand.
void PassPcmAsFloats(const uint8_t* data, uint32_t bytes, bool sixteen,
                     const std::function<void(const float* samples, size_t count)>& to);

}  // namespace dl
