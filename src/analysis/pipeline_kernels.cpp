#include "analysis/pipeline_kernels.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/pcm16.h"

namespace dl {

namespace {

#if defined(__SSE2__)
inline __m128i load8(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Largest and smallest of lanes i, i + step, ... of a vector of eight 16-bit values.
inline void reduce(__m128i hi, __m128i lo, int first, int step, int& top, int& bottom) {
    alignas(16) int16_t h[8], l[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(h), hi);
    _mm_store_si128(reinterpret_cast<__m128i*>(l), lo);
    for (int i = first; i < 8; i += step) {
        top = std::max(top, int(h[i]));
        bottom = std::min(bottom, int(l[i]));
    }
}
#endif

}  // namespace

int peak16(const uint8_t* data, uint32_t count) {
    int top = 0, bottom = 0;
    uint32_t i = 0;
#if defined(__SSE2__)
    if constexpr (std::endian::native == std::endian::little) {
        __m128i hi = _mm_setzero_si128(), lo = _mm_setzero_si128();
        for (; i + 8 <= count; i += 8) {
            const __m128i v = load8(data + 2 * i);
            hi = _mm_max_epi16(hi, v);
            lo = _mm_min_epi16(lo, v);
        }
        reduce(hi, lo, 0, 1, top, bottom);
    }
#endif
    for (; i < count; ++i) {
        top = std::max(top, load16(data, i));
        bottom = std::min(bottom, load16(data, i));
    }
    return std::max(top, -bottom);
}

void peak_and_mix_stereo16(const uint8_t* data, uint32_t frames, uint8_t* mix, int& left, int& right) {
    int ltop = 0, lbottom = 0, rtop = 0, rbottom = 0;
    uint32_t f = 0;
#if defined(__SSE2__)
    if constexpr (std::endian::native == std::endian::little) {
        __m128i hi = _mm_setzero_si128(), lo = _mm_setzero_si128();
        const __m128i ones = _mm_set1_epi16(1);
        for (; f + 4 <= frames; f += 4) {
            const __m128i v = load8(data + 4 * f);
            hi = _mm_max_epi16(hi, v);
            lo = _mm_min_epi16(lo, v);
            if (mix) {
                // Pairwise sums in 32 bits, then halved towards zero.
                const __m128i sum = _mm_madd_epi16(v, ones);
                const __m128i half = _mm_srai_epi32(_mm_add_epi32(sum, _mm_srli_epi32(sum, 31)), 1);
                const __m128i packed = _mm_packs_epi32(half, half);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(mix + 2 * f), packed);
            }
        }
        reduce(hi, lo, 0, 2, ltop, lbottom);
        reduce(hi, lo, 1, 2, rtop, rbottom);
    }
#endif
    for (; f < frames; ++f) {
        const int l = load16(data, 2 * f), r = load16(data, 2 * f + 1);
        ltop = std::max(ltop, l);
        lbottom = std::min(lbottom, l);
        rtop = std::max(rtop, r);
        rbottom = std::min(rbottom, r);
        if (mix) store16(mix, f, (l + r) / 2);
    }
    left = std::max(ltop, -lbottom);
    right = std::max(rtop, -rbottom);
}

void stereo_signal16(const uint8_t* data, uint32_t frames, int wl, int wr, bool halve, uint8_t* out) {
    uint32_t f = 0;
#if defined(__SSE2__)
    if constexpr (std::endian::native == std::endian::little) {
        // Each frame's weighted sum in 32 bits, then halved, or packed with saturation.
        const __m128i weights = _mm_set_epi16(int16_t(wr), int16_t(wl), int16_t(wr), int16_t(wl), int16_t(wr),
                                              int16_t(wl), int16_t(wr), int16_t(wl));
        for (; f + 4 <= frames; f += 4) {
            __m128i sum = _mm_madd_epi16(load8(data + 4 * f), weights);
            if (halve) sum = _mm_srai_epi32(_mm_add_epi32(sum, _mm_srli_epi32(sum, 31)), 1);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * f), _mm_packs_epi32(sum, sum));
        }
    }
#endif
    for (; f < frames; ++f) {
        const int v = load16(data, 2 * f) * wl + load16(data, 2 * f + 1) * wr;
        store16(out, f, halve ? v / 2 : std::clamp(v, -32768, 32767));
    }
}

int64_t sum16(const uint8_t* data, int count) {
    int64_t sum = 0;
    int i = 0;
#if defined(__SSE2__)
    if constexpr (std::endian::native == std::endian::little) {
        // Sums of pairs in 32-bit lanes, flushed to 64 bits before they could overflow.
        const __m128i ones = _mm_set1_epi16(1);
        while (i + 8 <= count) {
            __m128i acc = _mm_setzero_si128();
            const int end = std::min(count - 7, i + 8 * 16384);
            for (; i < end; i += 8) acc = _mm_add_epi32(acc, _mm_madd_epi16(load8(data + 2 * size_t(i)), ones));
            alignas(16) int32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
            sum += int64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
        }
    }
#endif
    for (; i < count; ++i) sum += load16(data, size_t(i));
    return sum;
}

}  // namespace dl
