#include "platform/tone_player.h"

#include <SDL.h>

#include <QCoreApplication>
#include <QTimer>
#include <memory>

#include "platform/audio_system.h"

namespace dl {

namespace {

// The tone sounding now: its device, the sound queued on it and who waits for its end.
struct Tone {
    SDL_AudioDeviceID device = 0;
    Uint8* sound = nullptr;
    std::function<void()> ended;
    Uint32 give_up = 0;       // ticks: well after the tone's length, whatever the queue says
    Uint32 tail_ms = 0;       // the device's own buffer, still to sound once the queue is empty
    Uint32 drained_at = 0;    // ticks when the queue was first seen empty (0: not yet)
    std::unique_ptr<QTimer> watch;
};

Tone g_tone;

// Closes the device and frees the sound; gives back who waited.
std::function<void()> close_tone() {
    if (g_tone.watch) {
        g_tone.watch->stop();
        // The watch may be what is closing the tone: it goes once its timeout has returned.
        g_tone.watch.release()->deleteLater();
    }
    if (g_tone.device) SDL_CloseAudioDevice(g_tone.device);
    if (g_tone.sound) SDL_FreeWAV(g_tone.sound);
    std::function<void()> ended = std::move(g_tone.ended);
    g_tone = Tone{};
    return ended;
}

void finish_tone() {
    if (std::function<void()> ended = close_tone()) ended();
}

// Opens the default output device for the file and queues the whole sound on it; false when there is
// nothing to play.
bool open_tone(const std::string& path) {
    if (!audio_init()) return false;
    SDL_AudioSpec spec;
    Uint32 len = 0;
    if (!SDL_LoadWAV(path.c_str(), &spec, &g_tone.sound, &len)) return false;
    SDL_AudioSpec got;
    spec.callback = nullptr;
    g_tone.device = SDL_OpenAudioDevice(nullptr, 0, &spec, &got, 0);
    if (g_tone.device == 0) return false;
    SDL_QueueAudio(g_tone.device, g_tone.sound, len);
    SDL_PauseAudioDevice(g_tone.device, 0);
    const Uint32 bytes_per_second = Uint32(spec.freq) * spec.channels * (SDL_AUDIO_BITSIZE(spec.format) / 8);
    g_tone.give_up = SDL_GetTicks() + (bytes_per_second ? Uint32(len * 1000ull / bytes_per_second) : 0) + 2000;
    g_tone.tail_ms = got.freq ? Uint32(got.samples) * 1000 / Uint32(got.freq) + 10 : 10;
    return true;
}

// Whether the queue has sounded out and the device's buffer after it.
bool tone_done() {
    const Uint32 now = SDL_GetTicks();
    if (SDL_TICKS_PASSED(now, g_tone.give_up)) return true;
    if (SDL_GetQueuedAudioSize(g_tone.device) > 0) return false;
    if (g_tone.drained_at == 0) g_tone.drained_at = now ? now : 1;
    return SDL_TICKS_PASSED(now, g_tone.drained_at + g_tone.tail_ms);
}

}  // namespace

void play_wav_async(const std::string& path, std::function<void()> ended) {
    finish_tone();
    g_tone.ended = std::move(ended);
    if (!open_tone(path)) return finish_tone();
    if (!QCoreApplication::instance()) {
        while (!tone_done()) SDL_Delay(5);
        return finish_tone();
    }
    g_tone.watch = std::make_unique<QTimer>();
    QObject::connect(g_tone.watch.get(), &QTimer::timeout, [] {
        if (g_tone.device && tone_done()) finish_tone();
    });
    g_tone.watch->start(5);
}

bool wav_playing() { return g_tone.device != 0; }

void stop_wav() { close_tone(); }

}  // namespace dl
