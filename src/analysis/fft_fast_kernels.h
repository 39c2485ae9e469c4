#pragma once
// One set of pass kernels per instruction set; the engine picks one at run time.
//
// A radix-4 pass of sub-length nk and stride s = n/nk reads x[q + s*(p + m*nk/4)] (m = 0..3)
// and writes y[q + s*(4p + m)], for p < nk/4 and q < s. The twiddles `tw` are six arrays of
// nk/4 values (cos w^p, -sin w^p, then w^2p, then w^3p with w = e^(-2*pi*i/nk)).

namespace dl::fft_fast {

struct Kernels {
    // s == 1, split input.
    void (*first)(int n, const double* xr, const double* xi, double* yr, double* yi,
                  const double* tw);
    // s == 1, complex input interleaved in x (x[2k] real, x[2k+1] imaginary).
    void (*first_interleaved)(int n, const double* x, double* yr, double* yi, const double* tw);
    // s >= 4.
    void (*middle)(int n, int s, const double* xr, const double* xi, double* yr, double* yi,
                   const double* tw);
    // A radix-8 pass of sub-length nk = n/s, s >= 4: reads x[q + s*(p + m*nk/8)] (m = 0..7) and
    // writes y[q + s*(8p + m)]; tw as Plan::radix8_twiddles. nullptr: radix-4 passes only.
    void (*middle8)(int n, int s, const double* xr, const double* xi, double* yr, double* yi,
                    const double* tw);
    // Final twiddle-free pass of radix 4 (s = n/4) or 2 (s = n/2); may run in place.
    void (*last4)(int n, const double* xr, const double* xi, double* yr, double* yi, double scale);
    void (*last2)(int n, const double* xr, const double* xi, double* yr, double* yi, double scale);
    // The level of sub-length 8 (twiddles tw) and the final radix-2 level in one pass (s = n/8);
    // may run in place. nullptr: the engine runs them one by one.
    void (*last8)(int n, const double* xr, const double* xi, double* yr, double* yi,
                  const double* tw);
    // Split step of a real transform of 2h points, each value times g, pairing j with h - j
    // (see split_pairs); the mirrored upper half only when `mirror`.
    void (*split)(int h, const double* xr, const double* xi, double* re, double* im,
                  const double* c, const double* s, double g, bool mirror);
    // Smallest n these kernels accept.
    int min_n;
    // Whether middle8 takes this size and stride.
    bool (*middle8_fits)(int n, int s);
    // first_interleaved takes the first level's twiddles as Plan::first_shuffled.
    bool shuffled_first;
};

extern const Kernels generic_kernels;
// nullptr when the processor or the compiler lacks AVX2 and FMA.
const Kernels* avx2_kernels();

}  // namespace dl::fft_fast
