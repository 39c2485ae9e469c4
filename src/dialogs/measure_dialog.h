#pragma once

namespace dl {

// The measuring controls' dialog: averaging, holds, weighting and channel traces. 1 when accepted.
int RunMeasureDialog();

}  // namespace dl
