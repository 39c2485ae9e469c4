#pragma once
// The run's analyser: what the analysis keeps between blocks, and the latest block's value.
// Written by: analysis (the analyser's own functions only: the tick measures its blocks, a run's
// start and the user reset the measured spectrum and pitch history, the display's resources size
// the work arrays, the settings' seam configures it)
// Read by: display, audio, app
#include "analysis/analyser.h"

namespace dl {

inline Analyser RunAnalyser;

}  // namespace dl
