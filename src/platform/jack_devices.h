#pragma once
// Output and input devices that are clients of a JACK server: "dewlark" with the ports out_1, out_2
// and in_1, in_2 for the user to route (connected to the system's own ports to begin with). The
// server's rate and float samples are converted to and from the program's format off its thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl_device.h"
#include "platform/wave_in.h"
#include "platform/wave_out.h"

namespace dl::jack {

// The one device name of each side.
inline constexpr const char* kDeviceName = "JACK";

// Whether the program plays and records through JACK: the environment asks for it
// (SDL_AUDIODRIVER=jack), or names no driver, no PulseAudio server answers and a JACK server does.
// Decided once per audio start.
bool in_use();
void forget();

std::vector<std::string> device_names();

int open_output(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out,
                const DeviceChoice& choice);
int open_input(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out,
               const DeviceChoice& choice);
int query_input(const sdl::PcmFormat& f, const DeviceChoice& choice);

}  // namespace dl::jack
