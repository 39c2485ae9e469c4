#pragma once
// Output and input devices that are streams of the desktop's sound server, spoken to directly (see
// pulse_server.h): streams named "dewlark" in its volume control, started without delay, the
// latency the server reports counted in what the listener hears, every output's monitor an input.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/pulse_server.h"
#include "platform/sdl_device.h"
#include "platform/wave_in.h"
#include "platform/wave_out.h"

namespace dl::pulse {

int open_output(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out,
                const DeviceChoice& choice);
int open_input(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
               const DeviceChoice& choice);
// Whether the input could record the format: a stream is made and dropped again.
int query_input(const sdl::PcmFormat& f, const DeviceChoice& choice);

// The sample format of the server for the PCM format.
pa_sample_spec sample_spec(const sdl::PcmFormat& f);
// Bytes of `ms` milliseconds of the format, whole frames, one frame at least.
uint32_t bytes_of_ms(const sdl::PcmFormat& f, uint32_t ms);

}  // namespace dl::pulse

namespace dl {
// What every output device tells the benchmarks: a wait heard as a gap, the frames of a period.
void count_output_wait();
void note_output_period(int frames);
}  // namespace dl
