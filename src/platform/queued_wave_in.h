#pragma once
// What every input device (SDL, the sound server, JACK) shares: the format it records in and the
// ring its sound waits in. The ring answers for the buffers queued, the gaps, the position and the
// backlog; a device only feeds it from its own thread and starts, stops and closes itself.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/capture_queue.h"
#include "platform/sdl_device.h"
#include "platform/wave_in.h"

namespace dl {

class QueuedWaveIn : public WaveIn {
public:
    QueuedWaveIn(Data data, const sdl::PcmFormat& f)
        : format_(f), queue_(std::move(data), f.block_align, size_t(f.rate) * f.block_align) {}

    int add_buffer(WaveHeader& h, int index) final { return queue_.add_buffer(h, index); }
    void take_gaps(std::vector<CaptureGap>& out) final { queue_.take_gaps(out); }
    uint64_t held_bytes() const final { return queue_.held(); }
    // The bytes captured since the start.
    int get_position(DevicePosition& p) final {
        p.type = PositionType::Bytes;
        p.value = uint32_t(queue_.captured());
        return kWaveOk;
    }
    uint32_t bytes_per_second() const final { return format_.rate * format_.block_align; }

protected:
    sdl::PcmFormat format_;
    CaptureQueue queue_;  // outlives the device's own members: its thread feeds it until it stops
};

}  // namespace dl
