#pragma once
// What a sound device's refusal tells the user: one table for every place a device can refuse.
#include "resources/messages.h"

namespace dl {

enum class DeviceRefusal {
    PlayOpen,     // the output device did not open for a play
    PlayQuery,    // the format check of a file to play
    RecordQuery,  // the format check of the record port on the input device
};

// The message for a device's result code (kWave*, platform/wave_device.h) refused where `where` says.
Message DeviceErrorMessage(int code, DeviceRefusal where);

}  // namespace dl
