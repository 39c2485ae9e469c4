#pragma once
// The sound a play has queued lately, kept by its place in the play (output bytes from its start),
// so that the block the listener hears now can still be analysed when the sound system holds more
// than the wave buffers do and their buffer has gone back to the file.
#include <cstdint>

namespace dl {

// Room for `seconds` of sound at `bytes_per_second` plus `extra` bytes; forgets what was kept.
void ResetPlayedSound(uint32_t bytes_per_second, double seconds, uint64_t extra);
// The next bytes played, from `offset` on; a gap since the last ones was silence (zero bytes).
void KeepPlayedSound(uint64_t offset, const uint8_t* data, uint32_t n);
// Copies `n` bytes from `offset`; false when they are not all kept (too old, not queued yet).
bool CopyPlayedSound(uint64_t offset, uint8_t* out, uint32_t n);
void FreePlayedSound();

// Where the block the listener hears now starts, for the buffer at `buffer_start` that has just
// started to sound: the device's own count when it has one, less the user's offset of `offset_ms`,
// whole frames of `align` bytes, never past the buffer.
uint64_t HeardBlockStart(uint64_t buffer_start, bool device_knows, uint64_t device_heard, uint32_t offset_ms,
                         uint32_t bytes_per_second, uint32_t align);

}  // namespace dl
