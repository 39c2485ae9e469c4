#pragma once
// The run (a play or a monitor): its buffers and their headers, its devices and conversion stream,
// and how it goes and ended.
// Written by: audio (the start routines, the completions and timer ticks, EndRun)
// Read by: display (the analysis' parameters: the time slice, whether a conversion runs; the
// position and length lines, the level style), app (how a batch run ended)
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/converter.h"
#include "platform/decode_stream.h"
#include "platform/wave_header.h"
#include "platform/wave_in.h"
#include "platform/wave_out.h"

namespace dl {

// The wave buffers, in the ring order the device plays (or fills) them.
inline constexpr int kWaveBufferSlots = 4;
// Memory mode has one wave buffer, the whole sound; slot 1 is the block a timer tick analyses, its
// pointer moved into slot 0 for the tick and put back after.
inline constexpr int kMemorySoundSlot = 0;
inline constexpr int kMemoryBlockSlot = 1;

struct RunBuffersRecord {
    std::array<uint8_t*, kWaveBufferSlots> SampleBuffers{};
    std::array<std::vector<uint8_t>, kWaveBufferSlots> SampleStorage;
    // The compressed bytes a conversion reads from the file before it converts them (empty
    // unless a conversion runs).
    std::vector<uint8_t> ConversionInput;
    int BufferCount = 4;  // 4 streaming, 1 memory mode
    uint32_t ChunkSize = 0;
    uint32_t BlockBytes = 0;  // one time slice (deltatime samples)
    uint32_t ConvertedSize = 0;
    // The four buffer headers.
    std::array<WaveHeader, kWaveBufferSlots> WaveHeaders{};
    // Valid bytes of each wave buffer as handed to the device, and the file bytes read for it.
    std::array<uint32_t, kWaveBufferSlots> BufferBytes{};
    std::array<uint32_t, kWaveBufferSlots> BufferSourceBytes{};
    // Where each buffer's first byte lies, in bytes of the played (PCM) stream from the source's start.
    std::array<uint64_t, kWaveBufferSlots> BufferPlayedOffset{};
    uint64_t PlayedBytesQueued = 0;
    // Ring index of the buffer that sounds next.
    int NextBuffer = 0;
    // File bytes the play has heard so far.
    uint32_t PlaybackProgress = 0;
    // The sound queued lately, a ring by its place in the play, and the place after its last byte:
    // the block heard now when the sound system holds more than the wave buffers.
    std::vector<uint8_t> PlayedHistory;
    uint64_t PlayedHistoryEnd = 0;
};
inline RunBuffersRecord RunBuffers;

struct RunDevicesRecord {
    // The open output device; null when no play runs.
    std::unique_ptr<WaveOut> WaveOutDevice;
    // The open input device; null unless monitoring.
    std::unique_ptr<WaveIn> WaveInDevice;
    // The open conversion stream, null when no conversion is active, and the 16-bit PCM format
    // record (18 bytes) a converted source plays as.
    std::unique_ptr<Converter> ConversionStream;
    std::vector<uint8_t> PlaybackFormat;
};
inline RunDevicesRecord RunDevices;

struct RunRecord {
    // STOP pressed, or the run ended: completions still on their way belong to no run.
    bool StopRequested = false;
    int RecordStopState = 0;  // record port: 0 monitoring, 1 stop pressed, 2 handled
    // The level meter's fast style (the smallest transform, streaming, no off-screen surface).
    bool FastLevelStyle = false;
    // The last run ended because the sound system took its device away.
    bool DeviceLost = false;
    // The last play ended before its sound did (the file shrank under it, or the rest of its stream
    // could not be decoded); a batch run then fails rather than pass the part it had for the whole.
    bool PlayEndedEarly = false;
    // What the decoder of the last converted play passed over, taken as its conversion closed.
    StreamDamage PlayedStreamDamage;
    // Memory mode: the sound goes on beyond what its one buffer holds (MemSize), and how many seconds
    // of it the buffer holds.
    bool MemoryBufferCut = false;
    double MemoryBufferSeconds = 0;
    // The monitored input: the sound recorded so far (what the buffers brought back), the place in it
    // of the block analysed now, and the gaps the device told of, in the order of the sound, with the
    // time all of them leave out.
    uint64_t RecordedInputBytes = 0;
    uint64_t InputBlockOffset = 0;
    std::vector<CaptureGap> InputGaps;
    uint64_t InputLostBytes = 0;
};
inline RunRecord Run;

// The names the program uses for the records' fields.
inline auto& SampleBuffers = RunBuffers.SampleBuffers;
inline auto& SampleStorage = RunBuffers.SampleStorage;
inline auto& ConversionInput = RunBuffers.ConversionInput;
inline auto& BufferCount = RunBuffers.BufferCount;
inline auto& ChunkSize = RunBuffers.ChunkSize;
inline auto& BlockBytes = RunBuffers.BlockBytes;
inline auto& ConvertedSize = RunBuffers.ConvertedSize;
inline auto& WaveHeaders = RunBuffers.WaveHeaders;
inline auto& BufferBytes = RunBuffers.BufferBytes;
inline auto& BufferSourceBytes = RunBuffers.BufferSourceBytes;
inline auto& BufferPlayedOffset = RunBuffers.BufferPlayedOffset;
inline auto& PlayedBytesQueued = RunBuffers.PlayedBytesQueued;
inline auto& NextBuffer = RunBuffers.NextBuffer;
inline auto& PlaybackProgress = RunBuffers.PlaybackProgress;
inline auto& PlayedHistory = RunBuffers.PlayedHistory;
inline auto& PlayedHistoryEnd = RunBuffers.PlayedHistoryEnd;
inline auto& WaveOutDevice = RunDevices.WaveOutDevice;
inline auto& WaveInDevice = RunDevices.WaveInDevice;
inline auto& ConversionStream = RunDevices.ConversionStream;
inline auto& PlaybackFormat = RunDevices.PlaybackFormat;
inline auto& StopRequested = Run.StopRequested;
inline auto& RecordStopState = Run.RecordStopState;
inline auto& FastLevelStyle = Run.FastLevelStyle;
inline auto& DeviceLost = Run.DeviceLost;
inline auto& PlayEndedEarly = Run.PlayEndedEarly;
inline auto& PlayedStreamDamage = Run.PlayedStreamDamage;
inline auto& MemoryBufferCut = Run.MemoryBufferCut;
inline auto& MemoryBufferSeconds = Run.MemoryBufferSeconds;
inline auto& RecordedInputBytes = Run.RecordedInputBytes;
inline auto& InputBlockOffset = Run.InputBlockOffset;
inline auto& InputGaps = Run.InputGaps;
inline auto& InputLostBytes = Run.InputLostBytes;

}  // namespace dl
