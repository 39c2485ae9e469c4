#pragma once
#include "analysis/analysis_params.h"

namespace dl {

// The analysis' parameters as the settings and the open source give them now.
AnalysisParams AnalysisParamsOfSettings();

}  // namespace dl
