#pragma once

namespace dl {

// Closes the wave-out device of a file playback and the wave-in device of record-port monitoring,
// whichever is open. Called when the source is closed.
void CloseSourceDevices();

}  // namespace dl
