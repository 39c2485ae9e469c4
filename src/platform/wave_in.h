#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/wave_device.h"

namespace dl {

// An input device filling a queue of buffers: each comes back when it is full, or by a reset
// (which also stops recording) with the bytes recorded so far in its header's `recorded`. Its
// position counts what has been recorded since start().
class WaveIn : public WaveDevice {
public:
    using Data = Done;
    // Queues an empty buffer of header.length bytes.
    virtual int add_buffer(WaveHeader& header, int index) = 0;
    // Recording runs from start() until reset() or close().
    virtual int start() = 0;
};

// Whether an input device could record this format record (PCM, 8 or 16 bits, one or two
// channels, 1000 to 384000 Hz): the device is opened and closed again, without recording.
int wave_in_query(const std::vector<uint8_t>& format, const DeviceChoice& choice = {});

// Opens an input device with the format record, not yet recording; the sound system converts what
// the hardware lacks. `data` hears about filled buffers.
int wave_in_open(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
                 const DeviceChoice& choice = {});

}  // namespace dl
