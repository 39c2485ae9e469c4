#pragma once
#include <cstdint>

#include "analysis/analysis_params.h"

namespace dl {

// Whether any measuring control (averaging, holds, weighting, channel traces) is on; when none is,
// the graph draws the block's own levels and nothing here runs.
bool MeasuringControlsOn(const AnalysisParams& params);

class Analyser;

// Forgets the averages and the held levels: the next block starts them afresh.
void ResetMeasuredSpectrum(Analyser& an);

// The time one analysed block stands for, in seconds: the picture's period when pictures come on
// their own clock, the timer's period in memory mode, else the block's own length.
double MeasureTickSeconds(const AnalysisParams& params, uint32_t byte_count);

class LineScan;

// Takes the transformed block (lines 0..n/2-1 of re, im) into trace `t` (0 or 1): weights it,
// averages it, updates the holds and fills the trace's display levels. With `scan`, the same pass
// feeds it every line's power (the block's own, neither averaged nor weighted).
void MeasureTrace(Analyser& an, const AnalysisParams& params, int t, int n, const double* re, const double* im,
                  double seconds, LineScan* scan = nullptr);

// The power of line k of the latest block's n-point spectrum as it is shown (tilted, weighted and
// averaged as the controls say), in decibels below full scale; -inf for none.
double DisplayedLineDecibels(const Analyser& an, const AnalysisParams& params, int n, int k);

}  // namespace dl
