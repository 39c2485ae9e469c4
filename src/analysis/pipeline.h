#pragma once
#include <cstdint>
#include <vector>

#include "analysis/analysis_params.h"
#include "analysis/block_analysis.h"

namespace dl {

// The line power that counts as full scale for the source's sample width.
double PowerReference(const AnalysisParams& params);
// Level of a line power in decibels below full scale, truncated after subtracting 0.5;
// a silent line (power <= 0) gives a very low level.
int LevelDecibels(const AnalysisParams& params, double power);
// A line power as the read-outs show it: in decibels, or as an amplitude on the linear scale.
LevelFigure PowerLevel(const AnalysisParams& params, double power);

// Autocorrelation of the first t samples of `data` (16-bit when `wide`, else 8-bit unsigned) for
// lags 0..n-1, computed in a transform of z points (z >= t + n). Fills a[0..n) (a[0] taken as 1
// when it is 0) and returns the lag weight 1/n^1.5. `fftparam` is the transform's setting, which
// picks how it is computed.
double AutoCorrelation(int fftparam, bool wide, int t, int n, int z, const uint8_t* data, std::vector<double>& a);

}  // namespace dl
