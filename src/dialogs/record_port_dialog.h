#pragma once

namespace dl {

// The record-port dialog (command 101): the rate, channels and bits of monitoring, offered as far as
// the input device's formats allow. 1 after an OK the device accepts, 0 after Cancel (which puts the
// three settings back). After an OK the settings as chosen are the ones saved (ChosenRecordFormat is
// forgotten).
int RunRecordPortDialog();

}  // namespace dl
