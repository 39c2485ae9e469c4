#pragma once

namespace dl {

// The voice-range dialog (command 120, and Start while `sex` is 0): adult male (`sex` 1) or woman or
// child (2); OK without a choice leaves 0, so the next Start asks again. Always 1.
int RunVoiceRangeDialog();

}  // namespace dl
