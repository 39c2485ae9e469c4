#pragma once
// The playback engine's and the monitor's shared state: buffers, devices, the conversion stream
// and the tick timing.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/decode_stream.h"
#include "platform/wave_header.h"
#include "platform/wave_in.h"
#include "platform/wave_out.h"
#include "state/analysis.h"

namespace dl {

class Converter;
struct BlockAnalysis;

enum class SourceMode { None, File, RecordPort };
struct SourceStateRecord {
    SourceMode mode = SourceMode::None;
    bool running = false;  // playing or monitoring
};
inline SourceStateRecord SourceState;

// Slots 0..3 wave buffers, 4 the analysis' mono mix, 5 the compressed input of a conversion.
// A slot's pointer may point into another slot's storage (slot 1 in memory mode).
inline std::array<uint8_t*, 6> SampleBuffers{};
inline std::array<std::vector<uint8_t>, 6> SampleStorage;

inline int BufferCount = 4;
inline uint32_t ChunkSize = 0;
inline uint32_t BlockBytes = 0;
inline uint32_t ConvertedSize = 0;
inline uint32_t LevelScanStride = 1;
inline uint32_t PlaybackProgress = 0;
inline bool StopRequested = false;
// The last run ended because the sound system took its device away.
inline bool DeviceLost = false;
// The last play ended before its sound did (the file shrank under it, or the rest of its stream
// could not be decoded); a batch run then fails rather than pass the part it had for the whole.
inline bool PlayEndedEarly = false;
// What the decoder of the last converted play passed over, taken as its conversion closed.
inline StreamDamage PlayedStreamDamage;
// Memory mode: the sound goes on beyond what its one buffer holds (MemSize), and how many seconds
// of it the buffer holds.
inline bool MemoryBufferCut = false;
inline double MemoryBufferSeconds = 0;
inline int RecordStopState = 0;  // record port: 0 monitoring, 1 stop pressed, 2 handled
inline bool FastLevelStyle = false;
inline bool TickPacing = true;
inline double RateFactor = 1.0;

// The open conversion stream, null when no conversion is active (owned by the conversion bridge),
// and the 16-bit PCM format record (18 bytes) a converted source plays as.
inline Converter* ConversionStream = nullptr;
inline std::vector<uint8_t> PlaybackFormat;

// The four buffer headers, kept for the program's life.
inline std::array<WaveHeader, 4> WaveHeaders{};
// The open output device; null when no play runs.
inline std::unique_ptr<WaveOut> WaveOutDevice;
// The open input device; null unless monitoring.
inline std::unique_ptr<WaveIn> WaveInDevice;
// Memory-mode monitoring: the device position (ms) the last timer tick read, and the one the last
// recount of a returned buffer's bytes went up to.
inline double TimerDevicePositionMs = 0;
inline double RecordRecountPositionMs = 0;

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

// Memory mode: when timer 1 was started, its period, and how far the ticks have analysed slot 0.
inline uint32_t StartTime = 0;
inline uint32_t TimerPeriod = 0;
inline int32_t LastAnalysedEnd = 0;
// When the timer was started and up to when the last tick measured; both are set together at the
// start, so their difference is 0 until a tick advances the second.
inline uint32_t TimerStartStamp = 0;
inline uint32_t TimerElapsedStamp = 0;
// 1 while no timer tick is in progress.
inline int TimerReentry = 1;
// Start of the previous analysed tick, for the stride tuning.
inline uint32_t PreviousTickStart = 0;
// Old platforms report a stuck position: the last one seen and when.
inline uint32_t PreviousDevicePosition = 0;
inline uint32_t PreviousDevicePositionTime = 0;

// Batch analysis: a device without sound that takes each buffer at once, completions go to the
// sink instead of the window, and every analysed block is handed over with its start (seconds
// from the start of the source) once it has been drawn.
inline bool UseInstantDevice = false;
inline std::function<void(int header)> WaveOutDoneSink;
inline std::function<void(double seconds, const BlockAnalysis& analysis)> AnalysisObserver;
// Batch mode's view of the sound itself as it is heard: each streamed buffer once, or the whole
// buffer of memory mode when it starts (the device's PCM bytes).
inline std::function<void(const uint8_t* data, uint32_t bytes)> PlayedSoundObserver;
// Batch runs that keep no picture measure each block without drawing it or the position: nobody
// would see them.
inline bool DrawAnalysedBlocks = true;

// Whether the Shift key is held as Start is pressed (replaceable for tests).
inline std::function<bool()> ShiftHeldAtStart;
// Tests: opens the input device in place of the sound system's (a device the test fills itself).
inline std::function<int(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out)>
    OpenTestWaveIn;

}  // namespace dl
