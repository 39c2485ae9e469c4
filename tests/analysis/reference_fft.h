#pragma once
// The transforms exactly as the analyser describes them, loop for loop: slow, kept to check the
// shipped ones against.
#include <cstdint>
#include <vector>

namespace dl::reference {

struct Tables {
    int last_size = 0;
    std::vector<double> sine;
    std::vector<int32_t> bitrev;
};

void build_sine_table(std::vector<double>& t, int n);
void build_bitrev_table(std::vector<int32_t>& b, int n);

// Same contracts as dl::fft, dl::fft_direct and dl::fft2 (never out of memory).
int fft(int n, double* re, double* im, Tables& tables);
void fft_direct(double* re, double* im, int p, int sign);
void fft2(double* re, double* im, int p, int direction, Tables& tables);

// The textbook O(n^2) transform, forward (e^-, divided by n) or inverse (e^+, not divided),
// with angles reduced exactly.
void dft(int n, const double* re, const double* im, double* out_re, double* out_im, bool inverse);

}  // namespace dl::reference
