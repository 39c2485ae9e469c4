#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/wave_header.h"
#include "platform/wave_out.h"

namespace dl {

// The four buffer headers, kept for the program's life.
inline std::array<WaveHeader, 4> WaveHeaders{};
// The open output device; null when no play runs.
inline std::unique_ptr<WaveOut> WaveOutDevice;

// Valid bytes of each wave buffer as handed to the device, and the file bytes read for it.
inline std::array<uint32_t, 4> BufferBytes{};
inline std::array<uint32_t, 4> BufferSourceBytes{};
// Where each buffer's first byte lies, in bytes of the played (PCM) stream from the source's start.
inline std::array<uint64_t, 4> BufferPlayedOffset{};
inline uint64_t PlayedBytesQueued = 0;
// Ring index of the buffer that sounds next.
inline int NextBuffer = 0;
// When the previous paced wait ended.
inline uint32_t LastTickTime = 0;

// Batch analysis: a device without sound that takes each buffer at once, completions go to the
// sink instead of the window, and every analysed block is announced with its start (seconds from
// the start of the source) just before it is analysed.
inline bool UseInstantDevice = false;
inline std::function<void(int header)> WaveOutDoneSink;
inline std::function<void(double seconds)> BlockObserver;

// Whether the Shift key is held as Start is pressed (replaceable for tests).
inline std::function<bool()> ShiftHeldAtStart;

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
void StopPlayback();
void PlaybackControls(bool on);
void StartControls(bool on);
void EndOfPlayCleanup();
void FreeWaveBuffers();
// The window is going away while a play may run.
void TeardownPlaybackOnDestroy();
// Closes the output device (after returning what it still holds) and the memory-mode timer.
void CloseWaveOutDevice();

}  // namespace dl
