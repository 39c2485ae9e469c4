#pragma once
// The discrete Fourier transforms of the analyser. All work in place on two arrays of equal
// length, the real and the imaginary parts. Forward transforms use e^(-2*pi*i*jk/n) and divide
// by n; inverse transforms use e^(+2*pi*i*jk/n) and do not divide.

#include <string>
#include <vector>

namespace dl {

// What the transform has to say since the last call: each time its tables could not be allocated
// it goes on without them, and the message ("nomem N", N the bytes it asked for, or its Japanese
// form) waits here for whoever shows messages.
std::vector<std::string> TakeFftShortageTexts(bool japanese);

// 2^k by repeated doubling; 1 for k <= 0.
int pow2(int k);
// Number of significant bits of 2n - 1, minus one: the smallest k with 2^k >= n (0 for n <= 1).
int ceil_log2(int n);

// Complex transform of |n| points, n a power of two: forward for n > 0, inverse for n < 0.
// Returns 1, with the arrays untouched, when its tables cannot be allocated (the caller then
// uses fft_direct) or when |n| is not a power of two; otherwise 0.
int fft(int n, double* re, double* im);

// Complex transform of 2^p points that always succeeds: forward (divided) when sign < 0,
// inverse otherwise.
void fft_direct(double* re, double* im, int p, int sign);

// Transform of a real signal of N = 2^p points; both arrays hold N values.
// direction -1: re holds the signal on entry (im is ignored); on return re[k] + i*im[k] is
// X[k]/N for every k, with the Nyquist bin N/2 set to 0 and the upper half the conjugate mirror
// of the lower half.
// Any other direction: the inverse for a real, even spectrum (the autocorrelation): reads the
// lower half of re/im, writes the real signal into re and zeros into im.
void fft2(double* re, double* im, int p, int direction);

// The forward real transform as the per-tick spectrum reads it: re[k] + i*im[k] as fft2(re, im,
// p, -1) leaves them (bit for bit) for k <= N/2 only; the rest of both arrays is left undefined.
void fft2_lower(double* re, double* im, int p);

}  // namespace dl
