#pragma once
#include "state/settings.h"

namespace dl {

// The measuring controls' dialog on `edited`: averaging, holds, weighting and channel traces. 1 when
// accepted; `edited` is changed only then.
int RunMeasureDialog(SettingsRecord& edited);

}  // namespace dl
