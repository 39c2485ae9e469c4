#include "analysis/pipeline_levels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "analysis/peak_candidates.h"
#include "analysis/pipeline.h"

namespace dl {

int DecibelLevel(double p, bool expand) {
    double v = p > 1e-30 ? 0.04 * std::log(p) : -1;
    if (!expand) {
        v = std::clamp(v, -1.0, 0.0);
        return int(-255 * v);
    }
    v = std::clamp(v, -0.7, -0.2);
    return int(-510 * (v + 0.2) + 0.49);
}

// Levels from 2^lowest_exponent up to 2^highest_exponent; `level` must not rise with the power.
template <class Level>
void DecibelLevelTable::build(int lowest_exponent, int highest_exponent, Level level) {
    lowest_ = lowest_exponent;
    floor_ = std::ldexp(1.0, lowest_exponent);
    ceiling_ = std::ldexp(1.0, highest_exponent);
    const int segments = (highest_exponent - lowest_exponent) << kMantissaBits;
    threshold_.resize(size_t(segments));
    base_.resize(size_t(segments));
    const uint64_t first = std::bit_cast<uint64_t>(floor_);
    const uint64_t step = uint64_t(1) << (52 - kMantissaBits);
    for (int s = 0; s < segments; ++s) {
        const uint64_t lo = first + uint64_t(s) * step, hi = lo + step;  // hi exclusive
        const int base = level(std::bit_cast<double>(lo));
        base_[size_t(s)] = uint8_t(base);
        // The lowest power of the segment whose level is below the base, if any.
        uint64_t a = lo, b = hi;
        while (a < b) {
            const uint64_t mid = a + (b - a) / 2;
            if (level(std::bit_cast<double>(mid)) < base) b = mid;
            else a = mid + 1;
        }
        threshold_[size_t(s)] = std::bit_cast<double>(a);  // == hi: no step inside
    }
    // A gather reads four bytes from a segment's base on.
    base_.resize(size_t(segments) + 3, 0);
}

DecibelLevelTable::DecibelLevelTable(bool expand) {
    build(-38, 0, [expand](double p) { return DecibelLevel(p, expand); });
}

// A segment is 1/64 octave (0.047 dB); the narrowest span (20 dB) gives 0.078 dB a level, so no
// segment spans a whole level here either.
DecibelLevelTable::DecibelLevelTable(int top_db, int span_db) {
    const double top = top_db, span = std::max(span_db, kMinDbSpan);
    const double log2_per_db = std::log2(10.0) / 10;
    const int highest = int(std::ceil(top * log2_per_db)) + 1;
    const int lowest = int(std::floor((top - span) * log2_per_db)) - 1;
    build(lowest, highest, [top, span](double p) {
        const double depth = (top - 10 * std::log10(p)) * 255 / span;
        return int(std::clamp(depth, 0.0, 255.0));
    });
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
namespace {

// Four lines a step: the segment of each power by integer arithmetic on its bits, its threshold
// and base gathered, and the lanes above the ceiling or below the floor (or not a number) set
// as the scalar lookup sets them.
__attribute__((target("avx2"))) int levels_avx2(const double* p, uint8_t* out, int count, int lowest, double floor,
                                                 double ceiling, const double* threshold, const uint8_t* base) {
    const __m256d vfloor = _mm256_set1_pd(floor), vceiling = _mm256_set1_pd(ceiling);
    const __m256i bias = _mm256_set1_epi64x(1023 + lowest), low6 = _mm256_set1_epi64x(63);
    const __m256i even = _mm256_setr_epi32(0, 2, 4, 6, 0, 0, 0, 0);
    const __m128i byte = _mm_set1_epi32(0xff), top = _mm_set1_epi32(255);
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d v = _mm256_loadu_pd(p + k);
        const __m256d above = _mm256_cmp_pd(v, vceiling, _CMP_GE_OQ);
        const __m256d inside = _mm256_andnot_pd(above, _mm256_cmp_pd(v, vfloor, _CMP_GE_OQ));
        const __m256i bits = _mm256_castpd_si256(v);
        __m256i seg = _mm256_or_si256(_mm256_slli_epi64(_mm256_sub_epi64(_mm256_srli_epi64(bits, 52), bias), 6),
                                      _mm256_and_si256(_mm256_srli_epi64(bits, 46), low6));
        seg = _mm256_and_si256(seg, _mm256_castpd_si256(inside));  // lanes outside read segment 0
        const __m256d thr = _mm256_i64gather_pd(threshold, seg, 8);
        const __m256i step = _mm256_castpd_si256(_mm256_cmp_pd(v, thr, _CMP_GE_OQ));
        const __m128i seg32 = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(seg, even));
        const __m128i step32 = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(step, even));
        const __m128i inside32 =
            _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(inside), even));
        const __m128i above32 =
            _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(above), even));
        __m128i level = _mm_and_si128(_mm_i32gather_epi32(reinterpret_cast<const int*>(base), seg32, 1), byte);
        level = _mm_add_epi32(level, step32);  // the step is -1 where the power reaches the threshold
        // Outside the table: 0 above the ceiling, 255 below the floor.
        level = _mm_or_si128(_mm_and_si128(inside32, level), _mm_andnot_si128(_mm_or_si128(inside32, above32), top));
        const __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(level, level), level);
        const int four = _mm_cvtsi128_si32(bytes);
        std::memcpy(out + k, &four, 4);
    }
    return k;
}

}  // namespace
#endif

void DecibelLevelTable::View::levels(const double* p, uint8_t* out, int count) const {
    int k = 0;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) k = levels_avx2(p, out, count, lowest_, floor_, ceiling_, threshold_, base_);
#endif
    for (; k < count; ++k) out[k] = (*this)(p[k]);
}

const DecibelLevelTable& decibel_level_table(bool expand) {
    static const DecibelLevelTable plain(false), expanded(true);
    return expand ? expanded : plain;
}

const DecibelLevelTable& LevelRangeTable::of(int top_db, int span_db) {
    if (!table_ || top_db_ != top_db || span_db_ != span_db) {
        table_ = std::make_unique<DecibelLevelTable>(top_db, span_db);
        top_db_ = top_db;
        span_db_ = span_db;
    }
    return *table_;
}

namespace {

// One pass over lines 0..n/2-1: the level of each line from its power over full scale, the
// strongest line by its power (both tilted when asked), and when `peaks` is given the strict
// local maxima of the powers for the peak list. Without `levels` (the measuring controls draw
// levels of their own) only the strongest line and the candidates.
template <bool Tilt, bool Levels, class Level>
StrongestLine scan_lines(double ref, int n, uint8_t* levels, const double* re, const double* im, Level level,
                         PeakCandidates* peaks) {
    const int half = n / 2;
    LineScan scan(n, Tilt, peaks);
    for (int k = 0; k < half; ++k) {
        const double raw = re[k] * re[k] + im[k] * im[k];
        scan.line(k, raw);
        if constexpr (Levels) {
            double scaled = raw / ref;
            if constexpr (Tilt) scaled = k == 0 ? scaled * 0.5 / n * 16 : scaled * k / n * 16;
            levels[k] = level(scaled);
        }
    }
    return scan.finish(half);
}

template <class Level>
StrongestLine scan_lines(bool tilt, double ref, int n, uint8_t* levels, const double* re, const double* im,
                         Level level, PeakCandidates* peaks) {
    if (!levels)
        return tilt ? scan_lines<true, false>(ref, n, levels, re, im, level, peaks)
                    : scan_lines<false, false>(ref, n, levels, re, im, level, peaks);
    return tilt ? scan_lines<true, true>(ref, n, levels, re, im, level, peaks)
                : scan_lines<false, true>(ref, n, levels, re, im, level, peaks);
}

}  // namespace

StrongestLine ComputeLevelsAndStrongestLine(const AnalysisParams& params, LevelRangeTable& range, int n,
                                            uint8_t* levels, const double* re, const double* im, PeakCandidates* peaks,
                                            int wanted) {
    if (peaks) peaks->begin(wanted, std::numeric_limits<double>::infinity());
    const StrongestLine best = WithLevelMapping(
        params, range, [&](auto level) {
            return scan_lines(params.katamuki != 0, PowerReference(params), n, levels, re, im, level, peaks);
        });
    if (peaks) peaks->end();
    return best;
}

StrongestLine StrongestLineFrom(int n, bool tilt, const double* re, const double* im, int first) {
    LineScan scan(n, tilt, nullptr);
    for (int k = std::max(first, 0); k < n / 2; ++k) scan.line(k, re[k] * re[k] + im[k] * im[k]);
    return scan.finish(n / 2);
}

void LevelsOfPowers(const AnalysisParams& params, LevelRangeTable& range, int count, const double* scaled,
                    uint8_t* levels) {
    WithLevelMapping(params, range, [&](auto level) {
        for (int k = 0; k < count; ++k) levels[k] = level(scaled[k]);
        return 0;
    });
}

}  // namespace dl
