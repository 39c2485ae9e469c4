#pragma once
#include <cstdint>

#include "audio/result.h"

namespace dl {

// The paced wait of a completion in ms (0: no wait).
uint32_t PacingWaitMs(uint32_t chunk_size, uint32_t source_bytes_per_second, int play_rate, uint16_t tag,
                      int platform_version);

// PLAY: the open source (opened first when it is not) plays from its start. Done while it plays.
Result StartPlayback();
// A finished buffer: `header` as the device reported it.
void PlaybackTick(int header);
// STOP: the play ends at once, the controls come back.
void StopPlayback();

}  // namespace dl
