#pragma once
// The reference tone: a WAV file played through the default output device while the event loop runs on.
#include <functional>
#include <string>

namespace dl {

// Starts playing a WAV file and returns at once. `ended` runs on the user-interface thread when the
// tone has sounded to its end, or at once, from this call, when the file is missing or cannot be
// played. A tone still sounding is cut short first, and its own `ended` runs then. Without an event
// loop (no application object) the call plays the tone to its end before it returns.
void play_wav_async(const std::string& path, std::function<void()> ended);

// Whether a tone started by play_wav_async still sounds.
bool wav_playing();

// Cuts a sounding tone short; its `ended` does not run (the one who waited for it is going away).
void stop_wav();

}  // namespace dl
