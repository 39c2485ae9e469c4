#pragma once
#include <cstdint>

namespace dl {

// One buffer handed to a wave-out or wave-in device: where its bytes are, how many, and what the owner keeps with it.
struct WaveHeader {
    uint8_t* data = nullptr;
    uint32_t length = 0;
    uint32_t user = 0;  // low 16 bits: slot index; kLastBufferMark: the last buffer of the file
    uint32_t flags = 0;
    uint32_t recorded = 0;  // capture: the bytes the device has filled in
    bool prepared = false;
};

inline constexpr uint32_t kLastBufferMark = 0x10000000u;

}  // namespace dl
