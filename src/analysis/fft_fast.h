#pragma once
// The engine behind fft, fft_direct and fft2: self-sorting radix-4 and radix-8 passes over separate real
// and imaginary arrays (no bit-reversal pass), with the twiddles of every pass computed once
// per size. Forward means the negative exponent; nothing here divides unless asked to.

#include <vector>

namespace dl::fft_fast {

// Twiddles and pass layout of one complex size n = 2^log2n, kept for the rest of the run.
struct Plan {
    int log2n = 0;
    int n = 0;
    // Radix-4 levels of sub-length nk = n, n/4, ... down to 4 or 8: per level, six arrays of
    // nk/4 values: cos and -sin of 2*pi*p/nk, 2*2*pi*p/nk and 3*2*pi*p/nk.
    int levels = 0;
    const double* level_twiddles[16] = {};
    bool radix2_tail = false;  // a final radix-2 level (odd log2n)
    // Radix-8 passes, by log2 of their sub-length nk (16 <= nk <= n/4): fourteen arrays of nk/8
    // values, cos and -sin of m*2*pi*p/nk for m = 1..7.
    const double* radix8_twiddles[31] = {};
    // The first level's twiddles with each group of four in the order 0, 2, 1, 3: the order in
    // which interleaved input lands in vector registers without lane-crossing shuffles.
    const double* first_shuffled = nullptr;
    // cos and sin of 2*pi*j/(2n) for 0 <= j <= n: the split step of a real transform of 2n.
    const double* split_cos = nullptr;
    const double* split_sin = nullptr;
};

// The plan for 2^log2n points, built on first use; nullptr when memory runs out.
const Plan* plan(int log2n);
// Drops every cached plan and the scratch (tests; also fine at exit).
void release_all();
// Runs the portable kernels even where AVX2 is available (tests of the fallback).
extern bool use_portable_kernels;
// Radix-4 passes only, where radix-8 ones would be chosen (tests and the transform bench).
extern bool use_radix8;
// Makes the next plan or scratch allocation fail (tests of the out-of-memory paths).
extern int fail_next_allocations;
// The sizes (bytes) of the tables the transform went without since they were last taken.
void note_shortage(long long bytes);
std::vector<long long> take_shortages();

// A work buffer of at least n complex values (re and im apart by a non-power-of-two offset so
// they never share cache sets); grown when needed and kept. false when memory runs out.
struct Scratch {
    double* re;
    double* im;
};
bool scratch(int n, Scratch& out);

// In-place forward complex transform of plan.n points; every output multiplied by `scale`.
// For the inverse pass (im, re) as (re, im). Uses `work` (n values) as the other buffer.
void complex_forward(const Plan& plan, double* re, double* im, const Scratch& work, double scale);

// Forward real transform of 2*plan.n points in re (im is overwritten as working space), with the
// result laid out like fft2's: X[k]/(2n) in re[k] + i*im[k], Nyquist bin 0; for k > n only when
// `mirror` (otherwise the upper halves hold working values).
void real_forward(const Plan& plan, double* re, double* im, bool mirror);

// How many passes over the data a complex transform of plan.n points makes (the benches).
int passes(const Plan& plan);

// The inverse of fft2's pre-step, pairwise and in place: lower half spectrum in re/im becomes the
// packed complex sequence whose inverse transform is the interleaved signal.
void inverse_prepare(const Plan& plan, double* re, double* im);

}  // namespace dl::fft_fast
