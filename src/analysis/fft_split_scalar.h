#pragma once
// Scalar split and inverse pre-step of the real transform, for any source of twiddles:
// twiddle(j) returns {cos, sin} of 2*pi*j/(2h).

namespace dl::fft_fast {

struct CosSin {
    double c, s;
};

// X (h complex values at xr/xi) to the 2h-point spectrum in re/im, each value times g, with
// the Nyquist bin zero and, when `mirror`, the upper half the conjugate mirror (otherwise the
// upper half is left as it was). Pairs j with k = h - j so every
// value read is overwritten only by its own pair: X may sit in the lower halves of re and im,
// or in either array as [real | imaginary].
template <class Twiddle>
void split_pairs(int h, const double* xr, const double* xi, double* re, double* im,
                 Twiddle twiddle, double g, bool mirror = true) {
    const double a0 = xr[0], b0 = xi[0];
    re[0] = 2 * g * (a0 + b0);
    im[0] = 0;
    re[h] = 0;
    im[h] = 0;
    for (int j = 1; j < h / 2; ++j) {
        const int k = h - j;
        const CosSin w = twiddle(j);
        const double a = xr[j], b = xi[j], e = xr[k], f = xi[k];
        const double P = a + e, Q = a - e, U = b + f, V = b - f;
        const double t1 = U * w.c - Q * w.s, t2 = U * w.s + Q * w.c;
        const double rj = g * (P + t1), ij = g * (V - t2), rk = g * (P - t1), ik = -g * (V + t2);
        re[j] = rj;
        im[j] = ij;
        re[k] = rk;
        im[k] = ik;
        if (!mirror) continue;
        re[2 * h - j] = rj;
        im[2 * h - j] = -ij;
        re[h + j] = rk;
        im[h + j] = -ik;
    }
    if (h >= 2) {
        const int j = h / 2;
        const CosSin w = twiddle(j);
        const double a = xr[j], b = xi[j];
        const double rj = g * (2 * a + 2 * b * w.c), ij = -g * (2 * b * w.s);
        re[j] = rj;
        im[j] = ij;
        if (mirror) {
            re[2 * h - j] = rj;
            im[2 * h - j] = -ij;
        }
    }
}

// The lower half of a spectrum in re/im becomes, in place, the packed complex sequence whose
// inverse transform of h points is the interleaved real signal.
template <class Twiddle>
void inverse_pairs(int h, double* re, double* im, Twiddle twiddle) {
    for (int j = 1; j < h / 2; ++j) {
        const int k = h - j;
        const CosSin w = twiddle(j);
        const double q = w.s * w.s + w.c * w.c;
        const double a = 2 * re[j], b = 2 * im[j], e = 2 * re[k], f = 2 * im[k];
        double m = ((a - e) * w.s + (b + f) * w.c) / q;
        re[j] = (a + e - m) * 0.5;
        re[k] = (m + a + e) * 0.5;
        m = ((a - e) * w.c - (b + f) * w.s) / q;
        im[j] = (b - f + m) * 0.5;
        im[k] = (m + f - b) * 0.5;
    }
    re[0] *= 2;
    im[0] *= 2;
    if (h >= 2) {
        re[h / 2] *= 2;
        im[h / 2] *= 2;
    }
}

}  // namespace dl::fft_fast
