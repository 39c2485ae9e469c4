#include "audio/source_devices.h"

#include "audio/playback.h"
#include "state/engine.h"

namespace dl {

void CloseSourceDevices() {
    if (SourceState.mode == SourceMode::File && WaveOutDevice) EndPlayback(false);
}

}  // namespace dl
