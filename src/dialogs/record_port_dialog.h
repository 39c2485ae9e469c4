#pragma once
#include "state/settings.h"

namespace dl {

// The record-port dialog (command 101) on `edited`: the rate, channels and bits of monitoring, offered
// as far as the input device's formats allow. 1 after an OK the device accepts (`edited` then holds
// the format, fitted to a monitor), 0 after Cancel (`edited` as it came).
int RunRecordPortDialog(SettingsRecord& edited);

}  // namespace dl
