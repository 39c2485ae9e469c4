#pragma once
#include "state/settings.h"

namespace dl {

// The voice-range dialog (command 120, and switching the voice pointer on while `sex` is 0): adult male
// (`sex` 1) or woman or child (2); OK without a choice leaves 0. Always 1. Asked `for_pointer`, it
// says under the choices what singing will then do.
int RunVoiceRangeDialog(SettingsRecord& edited, bool for_pointer = false);

}  // namespace dl
