#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dl {

// Signed 16-bit little-endian sample i of a block.
inline int load16(const uint8_t* p, size_t i) {
    if constexpr (std::endian::native == std::endian::little) {
        int16_t v;
        std::memcpy(&v, p + 2 * i, 2);  // one load; lets the loops vectorise
        return v;
    } else {
        return int16_t(uint16_t(p[2 * i] | (p[2 * i + 1] << 8)));
    }
}

inline void store16(uint8_t* p, size_t i, int v) {
    p[2 * i] = uint8_t(v);
    p[2 * i + 1] = uint8_t(uint16_t(v) >> 8);
}

}  // namespace dl
