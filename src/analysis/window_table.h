#pragma once
// The rising half of the selected window function, cached against its half-length and type.
#include <array>
#include <cstdint>

namespace dl {

// Fills window[0..M) for the current Settings.mado (nothing for the rectangular window).
// M is limited to the table's size.
void make_window(int M);

// Rebuilds the table when the half-length or Settings.mado differs from the cached ones and
// records them; never for the rectangular window. Returns true when it rebuilt.
bool ensure_window(int half_length);

}  // namespace dl
