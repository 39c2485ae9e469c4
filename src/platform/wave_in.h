#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/wave_device.h"

namespace dl {

// Why a stretch of time has no recorded sound.
enum class GapCause {
    NotDelivered,  // the device or the sound server delivered nothing for it (a stall, an overrun)
    Overflow,      // it came while the program was too far behind to keep it
};
// A stretch of time the recorded sound leaves out: where it falls (bytes of the recorded sound before
// it) and how long it was (bytes at the format's rate).
struct CaptureGap {
    uint64_t at = 0;
    uint64_t bytes = 0;
    GapCause cause = GapCause::NotDelivered;
};

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
    // The gaps found since the last call, in the order of the sound (on the user-interface thread).
    // Every gap before a buffer's first byte is there by the time the buffer comes back; a reset
    // adds the time the device had delivered nothing for when it came.
    virtual void take_gaps(std::vector<CaptureGap>& out) { (void)out; }
    // The sound the device holds that no buffer has taken yet (bytes): how far behind the program is.
    virtual uint64_t held_bytes() const { return 0; }
};

// Whether an input device could record this format record (PCM, 8 or 16 bits, one or two
// channels, 1000 to 384000 Hz): the device is opened and closed again, without recording.
int wave_in_query(const std::vector<uint8_t>& format, const DeviceChoice& choice = {});

// Opens an input device with the format record, not yet recording; the sound system converts what
// the hardware lacks. `data` hears about filled buffers.
int wave_in_open(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
                 const DeviceChoice& choice = {});

}  // namespace dl
