#pragma once

namespace dl {

// Ends a file playback or a record-port monitoring that still has its device, whichever runs,
// without touching the controls. Called when the source is closed.
void CloseSourceDevices();

}  // namespace dl
