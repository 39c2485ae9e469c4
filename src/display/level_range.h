#pragma once
#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dl {

// Lowest and highest level of lines [f, e] (f <= e). A column of a large transform's graph holds
// hundreds of lines, and every trace drawn reduces them, so sixteen at a time where the
// processor can.
inline void LevelRange(const uint8_t* levels, int f, int e, uint8_t& lo, uint8_t& hi) {
    uint8_t l = levels[f], h = levels[f];
    int i = f + 1;
#if defined(__SSE2__)
    if (e - i + 1 >= 16) {
        __m128i vl = _mm_set1_epi8(char(l)), vh = vl;
        for (; i + 16 <= e + 1; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + i));
            vl = _mm_min_epu8(vl, v);
            vh = _mm_max_epu8(vh, v);
        }
        alignas(16) uint8_t a[16], b[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(a), vl);
        _mm_store_si128(reinterpret_cast<__m128i*>(b), vh);
        for (int k = 0; k < 16; ++k) {
            l = std::min(l, a[k]);
            h = std::max(h, b[k]);
        }
    }
#endif
    for (; i <= e; ++i) {
        l = std::min(l, levels[i]);
        h = std::max(h, levels[i]);
    }
    lo = l;
    hi = h;
}

}  // namespace dl
