#pragma once
#include <cstdint>
#include <vector>

#include "analysis/analysis_params.h"
#include "state/analysis.h"
#include "state/meters.h"

namespace dl {

// The line power that counts as full scale for the current source's sample width.
double PowerReference();
// Level of a line power in decibels below full scale, truncated after subtracting 0.5;
// a silent line (power <= 0) gives a very low level.
int LevelDecibels(double power);
// A line power as the read-outs show it: in decibels, or as an amplitude on the linear scale.
LevelFigure PowerLevel(bool decibel, double power);

// Level meters, spectrum and read-outs of the first byte_count bytes of SampleBuffers[slot]
// into `out`, the level scan reading every LevelScanStride-th sample at most (and no fewer than a
// few hundred a block: `out.level_stride`); the pointer is steered and the A4 history kept on the way.
// The block starts `offset` bytes into the sound (kBlockFollows: right after the last one), which
// the meter strip needs to meter no sound twice.
void MeasureBlock(const AnalysisParams& params, int slot, uint32_t byte_count, BlockAnalysis& out,
                  uint64_t offset = kBlockFollows);
// The tick's analysis: measures the block that starts `seconds` (and `offset` bytes) into the sound
// into TickAnalysis, with the times it stands for.
const BlockAnalysis& MeasureTickBlock(const AnalysisParams& params, int slot, uint32_t byte_count, double seconds,
                                     uint64_t offset = kBlockFollows);

// Autocorrelation of the first t samples of SampleBuffers[slot] for lags 0..n-1, computed in a
// transform of z points (z >= t + n). Fills a[0..n) (a[0] taken as 1 when it is 0) and returns
// the lag weight 1/n^1.5. `fftparam` is the transform's setting, which picks how it is computed.
double AutoCorrelation(int fftparam, int t, int n, int z, int slot, std::vector<double>& a);

}  // namespace dl
