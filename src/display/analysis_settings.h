#pragma once
#include "analysis/analysis_params.h"

namespace dl {

// The analysis' parameters as the settings and the open source give them now.
AnalysisParams AnalysisParamsOfSettings();

// Whether the chosen level range is in use with the settings as they are (DecibelRangeOn), for
// the drawing's inner loops, which need no more of the parameters.
bool DecibelRangeOnNow();

}  // namespace dl
