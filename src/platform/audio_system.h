#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace dl {

// Starts the audio subsystem once (without SDL's signal handlers, so SIGTERM still ends the program).
bool audio_init();
void audio_quit();

int wave_out_device_count();
int wave_in_device_count();
// The input device's formats as WAVE_FORMAT_* bits (0x001 11.025 kHz mono 8-bit … 0x800 44.1 kHz stereo
// 16-bit); 0 without an input device. The device layer converts, so every listed format is offered.
uint32_t wave_in_format_mask();

// The names of the output (capture false) or input devices, as the sound system lists them.
std::vector<std::string> audio_device_names(bool capture);

// The own format of the input named `name` when it is an output's monitor, which is best recorded
// as it is; false for other inputs.
bool audio_monitor_format(const std::string& name, uint32_t& rate, int& channels);

// Tests: the sound system lists no input device while `missing`, as on a machine with outputs only.
void simulate_missing_input_devices(bool missing);
// Tests: every device open now behaves as if the sound system had taken it away.
void simulate_audio_device_loss();

}  // namespace dl
