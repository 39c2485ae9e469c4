#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/wave_device.h"

namespace dl {

// An output device fed with a queue of buffers: each comes back when it has been played (its
// position counts what the listener has heard).
class WaveOut : public WaveDevice {
public:
    virtual int write(WaveHeader& header, int index) = 0;
    // The bytes since the start (or the last reset) the listener has heard by now, where the device
    // knows it better than the buffers coming back do (a sound server reporting its latency).
    virtual bool heard_position(uint64_t& bytes) {
        (void)bytes;
        return false;
    }

protected:
    // The position for a device whose heard count is its position.
    int position_from_heard(DevicePosition& p) {
        uint64_t heard = 0;
        heard_position(heard);
        p.type = PositionType::Bytes;
        p.value = uint32_t(heard);
        return kWaveOk;
    }
};

// How often an output device has waited for the program's next buffer in the middle of a period
// (since the process began): 0 in steady state.
uint64_t wave_out_waits();

// Frames per period of the output device opened last (0 before any), and the driver behind it.
int wave_out_period_frames();
const char* wave_out_driver();

// The format record as the device understands it: PCM, 8 or 16 bits, one or two channels.
// 0 when playable, else kWaveBadFormat.
int wave_out_check_format(const std::vector<uint8_t>& format);

// Opens an output device with the format record; the sound system converts what the hardware
// lacks. `done` hears about finished buffers.
int wave_out_open(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out,
                  const DeviceChoice& choice = {});

// A device without sound: it takes each buffer the moment it is written and reports it done
// at once. Its position is unknown (get_position fails), so callers use their own clock.
int wave_out_open_instant(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out);

}  // namespace dl
