// AVX2/FMA pass kernels, four doubles per register. Only the functions below are compiled for
// AVX2 (per-function target attributes), so nothing here leaks into code run on older CPUs.
#include "analysis/fft_fast_kernels.h"

#include <array>
#include <cstddef>
#include <utility>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#define DL_AVX2 __attribute__((target("avx2,fma"), always_inline)) inline
#define DL_AVX2_ENTRY __attribute__((target("avx2,fma")))

namespace dl::fft_fast {
namespace {

using V = __m256d;

DL_AVX2 V ld(const double* p) { return _mm256_loadu_pd(p); }
DL_AVX2 void st(double* p, V v) { _mm256_storeu_pd(p, v); }
DL_AVX2 V bc(double x) { return _mm256_set1_pd(x); }
DL_AVX2 V add(V a, V b) { return _mm256_add_pd(a, b); }
DL_AVX2 V sub(V a, V b) { return _mm256_sub_pd(a, b); }
DL_AVX2 V mul(V a, V b) { return _mm256_mul_pd(a, b); }
DL_AVX2 V rev(V v) { return _mm256_permute4x64_pd(v, 0x1B); }

struct C {
    V r, i;
};

// (wr + i wi)(t.r + i t.i)
DL_AVX2 C cmul(V wr, V wi, C t) {
    return {_mm256_fmsub_pd(wr, t.r, mul(wi, t.i)), _mm256_fmadd_pd(wr, t.i, mul(wi, t.r))};
}

DL_AVX2 void butterfly(C a, C b, C c, C d, C y[4]) {
    const C apc{add(a.r, c.r), add(a.i, c.i)}, amc{sub(a.r, c.r), sub(a.i, c.i)};
    const C bpd{add(b.r, d.r), add(b.i, d.i)}, bmd{sub(b.r, d.r), sub(b.i, d.i)};
    y[0] = {add(apc.r, bpd.r), add(apc.i, bpd.i)};
    y[1] = {add(amc.r, bmd.i), sub(amc.i, bmd.r)};
    y[2] = {sub(apc.r, bpd.r), sub(apc.i, bpd.i)};
    y[3] = {sub(amc.r, bmd.i), add(amc.i, bmd.r)};
}

// Rows v[0..3] become columns: column k = (v0[k], v1[k], v2[k], v3[k]) goes to out + 4*order[k].
DL_AVX2 void transpose_store(double* out, V v0, V v1, V v2, V v3, const int order[4]) {
    const V t0 = _mm256_unpacklo_pd(v0, v1), t1 = _mm256_unpackhi_pd(v0, v1);
    const V t2 = _mm256_unpacklo_pd(v2, v3), t3 = _mm256_unpackhi_pd(v2, v3);
    st(out + 4 * order[0], _mm256_permute2f128_pd(t0, t2, 0x20));
    st(out + 4 * order[1], _mm256_permute2f128_pd(t1, t3, 0x20));
    st(out + 4 * order[2], _mm256_permute2f128_pd(t0, t2, 0x31));
    st(out + 4 * order[3], _mm256_permute2f128_pd(t1, t3, 0x31));
}

DL_AVX2 void twiddle_and_store_first(C y[4], const double* tw, int n1, int p, double* yr,
                                     double* yi, const int order[4]) {
    y[1] = cmul(ld(tw + p), ld(tw + n1 + p), y[1]);
    y[2] = cmul(ld(tw + 2 * n1 + p), ld(tw + 3 * n1 + p), y[2]);
    y[3] = cmul(ld(tw + 4 * n1 + p), ld(tw + 5 * n1 + p), y[3]);
    transpose_store(yr + 4 * p, y[0].r, y[1].r, y[2].r, y[3].r, order);
    transpose_store(yi + 4 * p, y[0].i, y[1].i, y[2].i, y[3].i, order);
}

constexpr int kNaturalOrder[4] = {0, 1, 2, 3};
constexpr int kPairOrder[4] = {0, 2, 1, 3};

DL_AVX2_ENTRY void first(int n, const double* xr, const double* xi, double* yr, double* yi,
                         const double* tw) {
    const int n1 = n / 4;
    for (int p = 0; p < n1; p += 4) {
        C y[4];
        butterfly({ld(xr + p), ld(xi + p)}, {ld(xr + p + n1), ld(xi + p + n1)},
                  {ld(xr + p + 2 * n1), ld(xi + p + 2 * n1)},
                  {ld(xr + p + 3 * n1), ld(xi + p + 3 * n1)}, y);
        twiddle_and_store_first(y, tw, n1, p, yr, yi, kNaturalOrder);
    }
}

// Four interleaved complex values at x as real and imaginary parts, in lane order 0, 2, 1, 3
// (saving the lane-crossing permutes; twiddles and stores follow that order).
DL_AVX2 C deinterleave_pairs(const double* x) {
    const V lo = ld(x), hi = ld(x + 4);
    return {_mm256_unpacklo_pd(lo, hi), _mm256_unpackhi_pd(lo, hi)};
}

// tw in the order of Plan::first_shuffled.
DL_AVX2_ENTRY void first_interleaved(int n, const double* x, double* yr, double* yi,
                                     const double* tw) {
    const int n1 = n / 4;
    for (int p = 0; p < n1; p += 4) {
        C y[4];
        const double* a = x + 2 * p;
        butterfly(deinterleave_pairs(a), deinterleave_pairs(a + 2 * n1),
                  deinterleave_pairs(a + 4 * n1), deinterleave_pairs(a + 6 * n1), y);
        twiddle_and_store_first(y, tw, n1, p, yr, yi, kPairOrder);
    }
}

// Stride 4: one vector per p, so a flat loop without the inner one (fewer live pointers).
DL_AVX2 void middle_stride4(int n, const double* xr, const double* xi, double* yr, double* yi,
                            const double* tw) {
    const int n1 = n / 16, step = n / 4;
    for (int p = 0; p < n1; ++p) {
        const double *ar = xr + 4 * p, *ai = xi + 4 * p;
        C y[4];
        butterfly({ld(ar), ld(ai)}, {ld(ar + step), ld(ai + step)},
                  {ld(ar + 2 * step), ld(ai + 2 * step)}, {ld(ar + 3 * step), ld(ai + 3 * step)}, y);
        y[1] = cmul(bc(tw[p]), bc(tw[n1 + p]), y[1]);
        y[2] = cmul(bc(tw[2 * n1 + p]), bc(tw[3 * n1 + p]), y[2]);
        y[3] = cmul(bc(tw[4 * n1 + p]), bc(tw[5 * n1 + p]), y[3]);
        double *outr = yr + 16 * p, *outi = yi + 16 * p;
#pragma GCC unroll 4
        for (int m = 0; m < 4; ++m) {
            st(outr + 4 * m, y[m].r);
            st(outi + 4 * m, y[m].i);
        }
    }
}

DL_AVX2_ENTRY void middle(int n, int s, const double* xr, const double* xi, double* yr,
                          double* yi, const double* tw) {
    if (s == 4) {
        middle_stride4(n, xr, xi, yr, yi, tw);
        return;
    }
    const int n1 = n / s / 4, step = s * n1;
    for (int p = 0; p < n1; ++p) {
        const V w1r = bc(tw[p]), w1i = bc(tw[n1 + p]), w2r = bc(tw[2 * n1 + p]);
        const V w2i = bc(tw[3 * n1 + p]), w3r = bc(tw[4 * n1 + p]), w3i = bc(tw[5 * n1 + p]);
        const double *ar = xr + s * p, *ai = xi + s * p;
        double *outr = yr + 4 * s * p, *outi = yi + 4 * s * p;
        for (int q = 0; q < s; q += 4) {
            C y[4];
            butterfly({ld(ar + q), ld(ai + q)}, {ld(ar + q + step), ld(ai + q + step)},
                      {ld(ar + q + 2 * step), ld(ai + q + 2 * step)},
                      {ld(ar + q + 3 * step), ld(ai + q + 3 * step)}, y);
            y[1] = cmul(w1r, w1i, y[1]);
            y[2] = cmul(w2r, w2i, y[2]);
            y[3] = cmul(w3r, w3i, y[3]);
            #pragma GCC unroll 4
            for (int m = 0; m < 4; ++m) {
                st(outr + q + m * s, y[m].r);
                st(outi + q + m * s, y[m].i);
            }
        }
    }
}

DL_AVX2 C pair(const double* r, std::ptrdiff_t to_imaginary) { return {ld(r), ld(r + to_imaginary)}; }

// Radix 8 as two radix-4 butterflies (even and odd inputs) joined by the eighth roots of unity;
// each output then times its twiddle. Its 32 streams need the strides as constants: each stream is
// then one base register and a displacement (with run-time strides the pointers spill and it runs
// slower than two radix-4 passes).
template <int N, int S>
__attribute__((target("avx2,fma"))) void middle8_fixed(const double* xr, const double* xi, double* yr,
                                                       double* yi, const double* tw) {
    constexpr int n1 = N / S / 8, step = N / 8;
    const V h = bc(0.70710678118654752440);
    const std::ptrdiff_t din = xi - xr, dout = yi - yr;
    for (int p = 0; p < n1; ++p) {
        const double* a = xr + S * p;
        double* o = yr + 8 * S * p;
        for (int q = 0; q < S; q += 4) {
            const double* aq = a + q;
            double* oq = o + q;
            C e[4], od[4];
            butterfly(pair(aq, din), pair(aq + 2 * step, din), pair(aq + 4 * step, din),
                      pair(aq + 6 * step, din), e);
            butterfly(pair(aq + step, din), pair(aq + 3 * step, din), pair(aq + 5 * step, din),
                      pair(aq + 7 * step, din), od);
            // od[m] times e^(-2*pi*i*m/8).
            od[1] = {mul(h, add(od[1].r, od[1].i)), mul(h, sub(od[1].i, od[1].r))};
            od[2] = {od[2].i, sub(bc(0.0), od[2].r)};
            od[3] = {mul(h, sub(od[3].i, od[3].r)), sub(bc(0.0), mul(h, add(od[3].r, od[3].i)))};
            C y[8];
            #pragma GCC unroll 4
            for (int m = 0; m < 4; ++m) {
                y[m] = {add(e[m].r, od[m].r), add(e[m].i, od[m].i)};
                y[m + 4] = {sub(e[m].r, od[m].r), sub(e[m].i, od[m].i)};
            }
            st(oq, y[0].r);
            st(oq + dout, y[0].i);
            #pragma GCC unroll 7
            for (int m = 1; m < 8; ++m) {
                const C t = cmul(bc(tw[(2 * m - 2) * n1 + p]), bc(tw[(2 * m - 1) * n1 + p]), y[m]);
                st(oq + m * S, t.r);
                st(oq + dout + m * S, t.i);
            }
        }
    }
}

// Beyond 8192 points the radix-8 passes' 32 streams outrun what the caches track and two radix-4
// passes are faster (measured up to 32768 points), except at the two smallest strides, where each
// output row lies together: there they save a pass at about the same speed.
constexpr int kMaxLog2Middle8 = 13;
constexpr int kMaxLog2Middle8Front = 15;
constexpr int kMaxLog2FrontStride = 5;

using Middle8 = void (*)(const double*, const double*, double*, double*, const double*);

// An instance for each stride the engine's schedules reach: s = 4 or 16 times a power of 8.
template <int LogN, int LogS>
constexpr Middle8 middle8_instance() {
    constexpr bool reached = LogS >= 2 && ((LogS - 2) % 3 == 0 || (LogS >= 4 && (LogS - 4) % 3 == 0));
    constexpr bool measured = LogN <= kMaxLog2Middle8 || (LogN <= kMaxLog2Middle8Front && LogS <= kMaxLog2FrontStride);
    if constexpr (reached && measured && LogN - LogS >= 4)
        return &middle8_fixed<(1 << LogN), (1 << LogS)>;
    else
        return nullptr;
}

template <int LogN, int... LogS>
constexpr std::array<Middle8, 16> middle8_row(std::integer_sequence<int, LogS...>) {
    return {middle8_instance<LogN, LogS>()...};
}

template <int... LogN>
constexpr std::array<std::array<Middle8, 16>, kMaxLog2Middle8Front + 1> middle8_table(std::integer_sequence<int, LogN...>) {
    return {middle8_row<LogN>(std::make_integer_sequence<int, 16>())...};
}

constexpr auto kMiddle8 = middle8_table(std::make_integer_sequence<int, kMaxLog2Middle8Front + 1>());

bool middle8_fits(int n, int s) {
    const int ln = __builtin_ctz(unsigned(n)), ls = __builtin_ctz(unsigned(s));
    return ln <= kMaxLog2Middle8Front && ls < 16 && kMiddle8[size_t(ln)][size_t(ls)] != nullptr;
}

void middle8(int n, int s, const double* xr, const double* xi, double* yr, double* yi,
             const double* tw) {
    const int ln = __builtin_ctz(unsigned(n)), ls = __builtin_ctz(unsigned(s));
    kMiddle8[size_t(ln)][size_t(ls)](xr, xi, yr, yi, tw);
}

DL_AVX2_ENTRY void last4(int n, const double* xr, const double* xi, double* yr, double* yi,
                         double scale) {
    const int s = n / 4;
    const V k = bc(scale);
    for (int q = 0; q < s; q += 4) {
        C y[4];
        butterfly({ld(xr + q), ld(xi + q)}, {ld(xr + q + s), ld(xi + q + s)},
                  {ld(xr + q + 2 * s), ld(xi + q + 2 * s)}, {ld(xr + q + 3 * s), ld(xi + q + 3 * s)},
                  y);
        #pragma GCC unroll 4
        for (int m = 0; m < 4; ++m) {
            st(yr + q + m * s, mul(y[m].r, k));
            st(yi + q + m * s, mul(y[m].i, k));
        }
    }
}

DL_AVX2_ENTRY void last2(int n, const double* xr, const double* xi, double* yr, double* yi,
                         double scale) {
    const int s = n / 2;
    const V k = bc(scale);
    for (int q = 0; q < s; q += 4) {
        const V ar = ld(xr + q), ai = ld(xi + q), br = ld(xr + q + s), bi = ld(xi + q + s);
        st(yr + q, mul(add(ar, br), k));
        st(yi + q, mul(add(ai, bi), k));
        st(yr + q + s, mul(sub(ar, br), k));
        st(yi + q + s, mul(sub(ai, bi), k));
    }
}

DL_AVX2 void twiddle3(C y[4], const double* tw, int n1, int p) {
    y[1] = cmul(bc(tw[p]), bc(tw[n1 + p]), y[1]);
    y[2] = cmul(bc(tw[2 * n1 + p]), bc(tw[3 * n1 + p]), y[2]);
    y[3] = cmul(bc(tw[4 * n1 + p]), bc(tw[5 * n1 + p]), y[3]);
}

// The level of sub-length 8 and the final radix-2 level together (s = n/8).
DL_AVX2_ENTRY void last8(int n, const double* xr, const double* xi, double* yr, double* yi,
                         const double* tw) {
    const int s = n / 8;
    for (int q = 0; q < s; q += 4) {
        C a[4], b[4];
        butterfly({ld(xr + q), ld(xi + q)}, {ld(xr + q + 2 * s), ld(xi + q + 2 * s)},
                  {ld(xr + q + 4 * s), ld(xi + q + 4 * s)}, {ld(xr + q + 6 * s), ld(xi + q + 6 * s)},
                  a);
        butterfly({ld(xr + q + s), ld(xi + q + s)}, {ld(xr + q + 3 * s), ld(xi + q + 3 * s)},
                  {ld(xr + q + 5 * s), ld(xi + q + 5 * s)}, {ld(xr + q + 7 * s), ld(xi + q + 7 * s)},
                  b);
        twiddle3(b, tw, 2, 1);
        #pragma GCC unroll 4
        for (int m = 0; m < 4; ++m) {
            st(yr + q + s * m, add(a[m].r, b[m].r));
            st(yi + q + s * m, add(a[m].i, b[m].i));
            st(yr + q + s * (4 + m), sub(a[m].r, b[m].r));
            st(yi + q + s * (4 + m), sub(a[m].i, b[m].i));
        }
    }
}

// Same pairing as the portable split: j with h - j, all reads of a pair before its writes.
template <bool Mirror>
DL_AVX2_ENTRY void split_as(int h, const double* xr, const double* xi, double* re, double* im,
                            const double* c, const double* s, double g) {
    const double a0 = xr[0], b0 = xi[0];
    re[0] = 2 * g * (a0 + b0);
    im[0] = 0;
    re[h] = 0;
    im[h] = 0;
    const V G = bc(g);
    // Blocks of four from j = 1 end exactly at h/2, which pairs with itself: its two results
    // coincide (cos of the quarter turn is exactly 0), so writing both is harmless.
    for (int j = 1; j + 3 <= h / 2; j += 4) {
        const int k = h - j - 3;  // partners h-j-3 .. h-j, reversed into lane order
        const V a = ld(xr + j), b = ld(xi + j), e = rev(ld(xr + k)), f = rev(ld(xi + k));
        // Twiddles pre-scaled by g (a power of two, so the rounding is unchanged).
        const V cj = mul(ld(c + j), G), sj = mul(ld(s + j), G);
        const V P = add(a, e), Q = sub(a, e), U = add(b, f), W = sub(b, f);
        const V t1 = _mm256_fmsub_pd(U, cj, mul(Q, sj));
        const V t2 = _mm256_fmadd_pd(U, sj, mul(Q, cj));
        const V rj = _mm256_fmadd_pd(P, G, t1), rk = _mm256_fmsub_pd(P, G, t1);
        const V ij = _mm256_fmsub_pd(W, G, t2), neg_ij = _mm256_fnmadd_pd(W, G, t2);
        const V ik = _mm256_fnmsub_pd(W, G, t2), neg_ik = _mm256_fmadd_pd(W, G, t2);
        st(re + j, rj);
        st(im + j, ij);
        st(re + k, rev(rk));
        st(im + k, rev(ik));
        if constexpr (Mirror) {
            st(re + 2 * h - j - 3, rev(rj));
            st(im + 2 * h - j - 3, rev(neg_ij));
            st(re + h + j, rk);
            st(im + h + j, neg_ik);
        }
    }
}

DL_AVX2_ENTRY void split(int h, const double* xr, const double* xi, double* re, double* im,
                         const double* c, const double* s, double g, bool mirror) {
    if (mirror)
        split_as<true>(h, xr, xi, re, im, c, s, g);
    else
        split_as<false>(h, xr, xi, re, im, c, s, g);
}

const Kernels avx2 = {first, first_interleaved, middle, middle8, last4, last2, last8, split, 16,
                      middle8_fits, true};

}  // namespace

const Kernels* avx2_kernels() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return &avx2;
    return nullptr;
}

}  // namespace dl::fft_fast

#else

namespace dl::fft_fast {
const Kernels* avx2_kernels() { return nullptr; }
}  // namespace dl::fft_fast

#endif
