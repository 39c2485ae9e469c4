#pragma once
// What the wave-out and wave-in devices have in common: result codes, positions, the choice of a
// device, and the operations on a device holding a queue of buffers.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/wave_header.h"

namespace dl {

// Result codes of the wave operations.
inline constexpr int kWaveOk = 0;
inline constexpr int kWaveError = 1;          // unspecified failure
inline constexpr int kWaveBadDeviceId = 2;    // no such device (none at all)
inline constexpr int kWaveAllocated = 4;      // device in use
inline constexpr int kWaveNoDriver = 6;       // no sound system
inline constexpr int kWaveNoMemory = 7;
inline constexpr int kWaveBadFormat = 32;
inline constexpr int kWaveStillPlaying = 33;  // close with buffers still queued
inline constexpr int kWaveUnprepared = 34;    // a header that was not prepared
inline constexpr int kWaveSync = 35;          // a capture device that needs a synchronous driver

enum class PositionType { Ms, Bytes, Samples, Other };
struct DevicePosition {
    PositionType type = PositionType::Bytes;
    uint32_t value = 0;
};

// Which device to open ("" the system's default) and what to do, on the user-interface thread, when
// the sound system takes it away while it is open.
struct DeviceChoice {
    std::string name;
    std::function<void()> lost;
    // The bytes the caller keeps queued at most (0: not known): a period of the device is no more
    // than half of them, so the device need not wait for the caller in the middle of one.
    uint32_t queued_bytes = 0;
};

// A device with a queue of buffers. Every buffer queued comes back exactly once, in the order
// queued: when the device is done with it, or at once by a reset.
class WaveDevice {
public:
    // Called once per buffer with the index it was queued with. May run on any thread; calls never
    // overlap and keep the order of the buffers.
    using Done = std::function<void(int index)>;

    virtual ~WaveDevice() = default;
    int prepare(WaveHeader& header);
    int unprepare(WaveHeader& header);
    // Returns every queued buffer, in order, and starts the position again from 0.
    virtual int reset() = 0;
    // How far the device has got, in bytes of the opened format.
    virtual int get_position(DevicePosition& position) = 0;
    // kWaveStillPlaying while buffers are queued; afterwards nothing is reported any more.
    virtual int close() = 0;
    // Bytes per second of the opened format.
    virtual uint32_t bytes_per_second() const = 0;
};

}  // namespace dl
