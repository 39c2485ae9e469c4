#pragma once
#include "platform/dialog.h"
#include "resources/control_ids.h"

namespace dl {

// The dialog templates as stored: "Option", "RecOpen", "ABOUT" and "setting".
const DialogTemplate& option_template();
const DialogTemplate& record_port_template();
const DialogTemplate& about_template();
const DialogTemplate& voice_range_template();
// The measuring controls: averaging, holds, weighting and traces.
const DialogTemplate& measure_template();
// The frequency and level range of the graphs.
const DialogTemplate& range_template();

}  // namespace dl
