#pragma once
// The desktop's pointer as the voice steers it: the analysis says what a block asks of it, and
// this carries it out.
#include <vector>

#include "state/analysis.h"

namespace dl {

// Moves and clicks the pointer as `actions` say, in order.
void SteerPointer(const std::vector<PointerAction>& actions);

}  // namespace dl
