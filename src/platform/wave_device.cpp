#include "platform/wave_device.h"

namespace dl {

int WaveDevice::prepare(WaveHeader& h) {
    if (!h.data && h.length) return kWaveError;
    h.prepared = true;
    return kWaveOk;
}

int WaveDevice::unprepare(WaveHeader& h) {
    h.prepared = false;
    return kWaveOk;
}

}  // namespace dl
