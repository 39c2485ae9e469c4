#pragma once
#include "platform/dialog.h"

namespace dl {

// The dialog templates as stored: "Option", "RecOpen", "ABOUT" and "setting".
const DialogTemplate& option_template();
const DialogTemplate& record_port_template();
const DialogTemplate& about_template();
const DialogTemplate& voice_range_template();

// Control ids the dialogs share.
inline constexpr int kIdOk = 1, kIdCancel = 2;

}  // namespace dl
