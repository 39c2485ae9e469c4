#pragma once
#include "platform/dialog.h"
#include "resources/control_ids.h"

namespace dl {

// The dialog templates as stored: "Option", "RecOpen", "ABOUT" and "setting".
const DialogTemplate& option_template();
const DialogTemplate& record_port_template();
const DialogTemplate& about_template();
const DialogTemplate& voice_range_template();

}  // namespace dl
