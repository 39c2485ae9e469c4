// Portable pass kernels: plain loops, any power-of-two size. Also the fallback on processors
// without AVX2.
#include "analysis/fft_fast_kernels.h"
#include "analysis/fft_split_scalar.h"

namespace dl::fft_fast {
namespace {

struct Cx {
    double r, i;
};

inline Cx mul(double wr, double wi, Cx t) { return {wr * t.r - wi * t.i, wr * t.i + wi * t.r}; }

// Forward radix-4 butterfly: y0 = a+b+c+d, y1 = a-ib-c+id, y2 = a-b+c-d, y3 = a+ib-c-id.
inline void butterfly(Cx a, Cx b, Cx c, Cx d, Cx y[4]) {
    const Cx apc{a.r + c.r, a.i + c.i}, amc{a.r - c.r, a.i - c.i};
    const Cx bpd{b.r + d.r, b.i + d.i}, bmd{b.r - d.r, b.i - d.i};
    y[0] = {apc.r + bpd.r, apc.i + bpd.i};
    y[1] = {amc.r + bmd.i, amc.i - bmd.r};
    y[2] = {apc.r - bpd.r, apc.i - bpd.i};
    y[3] = {amc.r - bmd.i, amc.i + bmd.r};
}

void middle(int n, int s, const double* xr, const double* xi, double* yr, double* yi,
            const double* tw) {
    const int n1 = n / s / 4;
    for (int p = 0; p < n1; ++p) {
        const double w1r = tw[p], w1i = tw[n1 + p], w2r = tw[2 * n1 + p], w2i = tw[3 * n1 + p];
        const double w3r = tw[4 * n1 + p], w3i = tw[5 * n1 + p];
        for (int q = 0; q < s; ++q) {
            const int i0 = q + s * p, step = s * n1;
            Cx y[4];
            butterfly({xr[i0], xi[i0]}, {xr[i0 + step], xi[i0 + step]},
                      {xr[i0 + 2 * step], xi[i0 + 2 * step]}, {xr[i0 + 3 * step], xi[i0 + 3 * step]},
                      y);
            y[1] = mul(w1r, w1i, y[1]);
            y[2] = mul(w2r, w2i, y[2]);
            y[3] = mul(w3r, w3i, y[3]);
            const int o = q + s * 4 * p;
            for (int m = 0; m < 4; ++m) {
                yr[o + m * s] = y[m].r;
                yi[o + m * s] = y[m].i;
            }
        }
    }
}

void first(int n, const double* xr, const double* xi, double* yr, double* yi, const double* tw) {
    middle(n, 1, xr, xi, yr, yi, tw);
}

void first_interleaved(int n, const double* x, double* yr, double* yi, const double* tw) {
    const int n1 = n / 4;
    for (int p = 0; p < n1; ++p) {
        Cx y[4];
        const double* a = x + 2 * p;
        butterfly({a[0], a[1]}, {a[2 * n1], a[2 * n1 + 1]}, {a[4 * n1], a[4 * n1 + 1]},
                  {a[6 * n1], a[6 * n1 + 1]}, y);
        y[1] = mul(tw[p], tw[n1 + p], y[1]);
        y[2] = mul(tw[2 * n1 + p], tw[3 * n1 + p], y[2]);
        y[3] = mul(tw[4 * n1 + p], tw[5 * n1 + p], y[3]);
        for (int m = 0; m < 4; ++m) {
            yr[4 * p + m] = y[m].r;
            yi[4 * p + m] = y[m].i;
        }
    }
}

void last4(int n, const double* xr, const double* xi, double* yr, double* yi, double scale) {
    const int s = n / 4;
    for (int q = 0; q < s; ++q) {
        Cx y[4];
        butterfly({xr[q], xi[q]}, {xr[q + s], xi[q + s]}, {xr[q + 2 * s], xi[q + 2 * s]},
                  {xr[q + 3 * s], xi[q + 3 * s]}, y);
        for (int m = 0; m < 4; ++m) {
            yr[q + m * s] = y[m].r * scale;
            yi[q + m * s] = y[m].i * scale;
        }
    }
}

void last2(int n, const double* xr, const double* xi, double* yr, double* yi, double scale) {
    const int s = n / 2;
    for (int q = 0; q < s; ++q) {
        const double ar = xr[q], ai = xi[q], br = xr[q + s], bi = xi[q + s];
        yr[q] = (ar + br) * scale;
        yi[q] = (ai + bi) * scale;
        yr[q + s] = (ar - br) * scale;
        yi[q + s] = (ai - bi) * scale;
    }
}

void split(int h, const double* xr, const double* xi, double* re, double* im, const double* c,
           const double* s, double g, bool mirror) {
    split_pairs(h, xr, xi, re, im, [c, s](int j) { return CosSin{c[j], s[j]}; }, g, mirror);
}

}  // namespace

const Kernels generic_kernels = {first, first_interleaved, middle, nullptr, last4, last2,
                                 nullptr, split, 1, nullptr, false};

}  // namespace dl::fft_fast
