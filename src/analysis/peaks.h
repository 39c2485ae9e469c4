#pragma once
#include <cstdint>

#include "analysis/analysis_params.h"
#include "analysis/block_analysis.h"
#include "analysis/block_view.h"


namespace dl {

class Analyser;
class PeakCandidates;

// The strongest peaks of the transformed spectrum (re/im of n points, strongest line `strongest`)
// as the labels of `out`, `freqnum` of the parameters at most; steers the pointer by chords and
// updates the A4 read-out. `gathered`: the candidates the tick's pass over the lines gathered, or
// null.
void ListPeaks(Analyser& an, const AnalysisParams& params, AnalysisPurpose purpose, const double* re, const double* im,
               int strongest, int n, uint32_t byte_count, PeakCandidates* gathered, BlockAnalysis& out);

// Whether peaks are read by the precise estimator: chosen, and the spectrum is the block's own
// (not its autocorrelation's, whose lines no tone's window shapes).
bool UsePreciseEstimator(const AnalysisParams& params);

// Frequency of the peak at line b refined from its neighbours in the complex spectrum; `samples`
// is the block's sample count, `rate` the sample rate, `window` the window function it was taken with.
double RefinePeakFrequency(const double* re, const double* im, int b, int n, int samples, double rate, int window);

}  // namespace dl
