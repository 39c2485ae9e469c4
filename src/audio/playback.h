#pragma once
#include <cstdint>
#include <vector>

namespace dl {

// Buffer sizes for the format record; BufferCount is already chosen.
void ComputeBufferSizes(const std::vector<uint8_t>& record);
// Starting stride of the level scan for a source rate and channel count.
uint32_t InitialLevelScanStride(uint32_t rate, int channels, int buffer_count);
// The paced wait of a completion in ms (0: no wait).
uint32_t PacingWaitMs(uint32_t chunk_size, uint32_t source_bytes_per_second, int play_rate, uint16_t tag,
                      int platform_version);

void StartPlayback();
// A finished buffer: `header` as the device reported it.
void PlaybackTick(int header);
// STOP: the play ends at once, the controls come back.
void StopPlayback();

}  // namespace dl
