#pragma once
#include <cstdint>

namespace dl {

// Whole-block passes over 16-bit little-endian samples, vectorised where the processor allows.

// Largest magnitude of `count` samples.
int peak16(const uint8_t* data, uint32_t count);
// Largest magnitude of the left and of the right channel of `frames` stereo frames; when `mix`
// is not null it receives the mono samples (left + right) / 2, truncated towards zero.
void peak_and_mix_stereo16(const uint8_t* data, uint32_t frames, uint8_t* mix, int& left, int& right);
// One signal of `frames` stereo frames as mono samples: left * wl + right * wr (each weight -1, 0
// or 1), halved towards zero when `halve`, else held at full scale.
void stereo_signal16(const uint8_t* data, uint32_t frames, int wl, int wr, bool halve, uint8_t* out);
// Exact sum of `count` samples.
int64_t sum16(const uint8_t* data, int count);

}  // namespace dl
