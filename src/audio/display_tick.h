#pragma once
// The picture's own clock while a file streams: with an update rate, timer 2 analyses and draws the
// block heard at each of its ticks, so the picture moves as often as the user asked whatever the time
// slice; the buffers' completions then only keep the sound going.
#include <cstdint>

namespace dl {

// Timer 2's period in ms for `rate` pictures a second; 0 (none) for 0.
uint32_t DisplayTimerPeriod(int rate);
// Starts timer 2 for a streaming play in the window when the settings ask for an update rate.
void StartDisplayTimer();
void StopDisplayTimer();
// Whether timer 2 draws the pictures of the play that runs.
bool DisplayTimerOn();

// Timer 2: the block heard at `now`, analysed and drawn, unless the sound has not moved on.
void DisplayTick(uint32_t now);

}  // namespace dl
