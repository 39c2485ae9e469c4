#pragma once
#include "analysis/analyser.h"
#include "analysis/analysis_params.h"

namespace dl {

// The analysis' parameters as the settings and the open source give them now.
AnalysisParams AnalysisParamsOfSettings();
// Measures a block with `analyser` under the settings and the source of the moment.
const BlockAnalysis& MeasureWithSettings(Analyser& analyser, const BlockView& block);

// Whether the chosen level range is in use with the settings as they are (DecibelRangeOn), for
// the drawing's inner loops, which need no more of the parameters.
bool DecibelRangeOnNow();

}  // namespace dl
