#include "platform/audio_system.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/jack_devices.h"
#include "platform/pulse_server.h"

namespace dl {

namespace {
bool g_audio_up = false;
bool g_inputs_hidden = false;
}

bool audio_init() {
    if (g_audio_up) return true;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The name the sound server's mixer shows for the program and its streams.
    SDL_SetHint(SDL_HINT_APP_NAME, "dewlark");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "dewlark");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "dewlark");
    // SDL here has no JACK driver of its own: the devices speak to JACK themselves, SDL stands by.
    if (const char* d = std::getenv("SDL_AUDIODRIVER"); d && std::strcmp(d, "jack") == 0)
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    g_audio_up = true;
    return true;
}

void audio_quit() {
    pulse::forget();
    jack::forget();
    if (!g_audio_up) return;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_audio_up = false;
}

int wave_out_device_count() {
    if (!audio_init()) return 0;
    if (pulse::in_use() || jack::in_use()) return int(audio_device_names(false).size());
    int n = SDL_GetNumAudioDevices(0);
    return n < 0 ? 0 : n;
}

int wave_in_device_count() {
    if (g_inputs_hidden || !audio_init()) return 0;
    if (pulse::in_use() || jack::in_use()) return int(audio_device_names(true).size());
    int n = SDL_GetNumAudioDevices(1);
    return n < 0 ? 0 : n;
}

std::vector<std::string> audio_device_names(bool capture) {
    std::vector<std::string> names;
    if ((capture && g_inputs_hidden) || !audio_init()) return names;
    if (pulse::in_use()) return pulse::device_names(pulse::view(), capture);
    if (jack::in_use()) return jack::device_names();
    const int n = SDL_GetNumAudioDevices(capture ? 1 : 0);
    for (int i = 0; i < n; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, capture ? 1 : 0)) names.emplace_back(name);
    return names;
}

bool audio_monitor_format(const std::string& name, uint32_t& rate, int& channels) {
    if (g_inputs_hidden || !audio_init() || !pulse::in_use()) return false;
    return pulse::monitor_format(pulse::view(), name, rate, channels);
}

void simulate_missing_input_devices(bool missing) { g_inputs_hidden = missing; }

uint32_t wave_in_format_mask() { return wave_in_device_count() > 0 ? 0xFFFu : 0u; }

}  // namespace dl
