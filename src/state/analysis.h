#pragma once
// The run's analyser: what the analysis keeps between blocks, and the latest block's value.
// Written by: audio (the blocks as they are measured, a run's start), display (the work arrays,
// sized with the display's resources), app (the user's resets of the meters and the measured spectrum)
// Read by: display, audio, app
#include "analysis/analyser.h"

namespace dl {

inline Analyser RunAnalyser;

}  // namespace dl
