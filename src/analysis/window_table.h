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

// Fills window[0..M) for window `type` (nothing for the rectangular window).
// M is limited to the table's size.
void make_window(WindowTableRecord& table, int type, int M);

// The rising half of window `type` for half-length m into w[0..m): the weights make_window stores.
void fill_window(int type, int m, double* w);

// Rebuilds the table when the half-length or the type differs from the cached ones and records
// them; never for the rectangular window. Returns true when it rebuilt.
bool ensure_window(WindowTableRecord& table, int type, int half_length);

}  // namespace dl
