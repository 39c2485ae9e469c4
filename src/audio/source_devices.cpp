#include "audio/source_devices.h"

#include "audio/engine_state.h"
#include "audio/playback.h"

namespace dl {

void CloseSourceDevices() {
    if (SourceState.mode == SourceMode::File && WaveOutDevice) CloseWaveOutDevice();
}

}  // namespace dl
