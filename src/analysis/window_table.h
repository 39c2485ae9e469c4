#pragma once
// The rising half of the selected window function, cached against its half-length and type.
#include <array>
#include <cstdint>

namespace dl {

inline constexpr int kWindowTableSize = 32768;  // half of the largest transform
inline constexpr int kRectangularWindow = 4;    // "squar   ": no table, no mean removal

struct WindowTableRecord {
    // Entry i < M: the weight at distance i from the block's edge for half-length M.
    std::array<double, kWindowTableSize> window{};
    int32_t cached_length = 0;
    int32_t cached_type = kRectangularWindow;  // so the first use of any other type builds
};
inline WindowTableRecord WindowTable;

// Fills window[0..M) for the current Settings.mado (nothing for the rectangular window).
// M is limited to the table's size.
void make_window(int M);

// Rebuilds the table when the half-length or Settings.mado differs from the cached ones and
// records them; never for the rectangular window. Returns true when it rebuilt.
bool ensure_window(int half_length);

}  // namespace dl
