#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/wave_header.h"

namespace dl {

// Result codes of the wave-out operations.
inline constexpr int kWaveOk = 0;
inline constexpr int kWaveError = 1;          // unspecified failure
inline constexpr int kWaveBadDeviceId = 2;    // no such device (none at all)
inline constexpr int kWaveAllocated = 4;      // device in use
inline constexpr int kWaveNoMemory = 7;
inline constexpr int kWaveBadFormat = 32;
inline constexpr int kWaveStillPlaying = 33;  // close with buffers still queued
inline constexpr int kWaveUnprepared = 34;    // write of a header that was not prepared

enum class PositionType { Ms, Bytes, Samples, Other };
struct DevicePosition {
    PositionType type = PositionType::Bytes;
    uint32_t value = 0;
};

// An output device fed with a queue of buffers. Every buffer written comes back exactly once, in
// the order written: when it has been played, or at once by a reset.
class WaveOut {
public:
    // Called once per buffer with the index given to write(). May run on any thread; calls never
    // overlap and keep the order of the buffers.
    using Done = std::function<void(int index)>;

    virtual ~WaveOut() = default;
    int prepare(WaveHeader& header);
    int unprepare(WaveHeader& header);
    virtual int write(WaveHeader& header, int index) = 0;
    // Returns every queued buffer, in order, and starts the position again from 0.
    virtual int reset() = 0;
    // How far the listener has got, in bytes of the opened format.
    virtual int get_position(DevicePosition& position) = 0;
    // kWaveStillPlaying while buffers are queued; afterwards nothing is reported any more.
    virtual int close() = 0;
    // Bytes per second of the opened format.
    virtual uint32_t bytes_per_second() const = 0;
};

// The format record as the device understands it: PCM, 8 or 16 bits, one or two channels.
// 0 when playable, else kWaveBadFormat.
int wave_out_check_format(const std::vector<uint8_t>& format);

// Opens the default output device with the format record; the sound system converts what the
// hardware lacks. `done` hears about finished buffers.
int wave_out_open(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out);

// A device without sound: it takes each buffer the moment it is written and reports it done
// at once. Its position is unknown (get_position fails), so callers use their own clock.
int wave_out_open_instant(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out);

}  // namespace dl
