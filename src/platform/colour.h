#pragma once
#include <cstdint>

namespace dl {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    constexpr bool operator==(const Rgb&) const = default;
};

constexpr Rgb rgb(uint32_t hex) { return {uint8_t(hex >> 16), uint8_t(hex >> 8), uint8_t(hex)}; }

// Integer luma used for the scheme and border decisions.
constexpr int luma(Rgb c) { return (299 * c.r + 587 * c.g + 114 * c.b) / 1000; }

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};

}  // namespace dl
