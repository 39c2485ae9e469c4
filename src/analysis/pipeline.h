#pragma once
#include <cstdint>
#include <vector>

#include "platform/dc.h"

namespace dl {

// The strongest line of the latest spectrum; kept between ticks.
struct SpectrumPeakRecord {
    double power = 1.0;    // largest (tilted) line power of the tick
    int32_t bin = 0;       // its line
    double frequency = 0;  // Hz; kept from the last tick that had a peak
};
inline SpectrumPeakRecord SpectrumPeak;

// Display level of every line of the latest spectrum (0 full scale .. 255 floor), reused
// between ticks.
inline std::vector<uint8_t> DisplayLevels;

// The line power that counts as full scale for the current source's sample width.
double PowerReference();
// Level of a line power in decibels below full scale, truncated after subtracting 0.5;
// a silent line (power <= 0) gives a very low level.
int LevelDecibels(double power);

// Level meters and spectrum of the first byte_count bytes of SampleBuffers[slot].
void AnalyseBlock(Dc& dc, int slot, uint32_t byte_count);
// Spectrum, read-outs, graph and peak list of a mono block.
void AnalyseSpectrum(Dc& dc, int slot, uint32_t byte_count);

// Autocorrelation of the first t samples of SampleBuffers[slot] for lags 0..n-1, computed in a
// transform of z points (z >= t + n). Fills a[0..n) (a[0] taken as 1 when it is 0) and returns
// the lag weight 1/n^1.5.
double AutoCorrelation(int t, int n, int z, int slot, std::vector<double>& a);

// Display levels of lines 0..n/2-1 from the transformed work arrays, handed to the view's graph.
void MakeDisplayLevels(int n, uint8_t* levels, const double* re, const double* im);
// The same without drawing (levels only).
void ComputeDisplayLevels(int n, uint8_t* levels, const double* re, const double* im);

}  // namespace dl
