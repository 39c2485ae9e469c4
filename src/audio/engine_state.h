#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace dl {

class Converter;

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
inline int RecordStopState = 0;  // record port: 0 monitoring, 1 stop pressed, 2 handled
inline bool FastLevelStyle = false;
inline bool TickPacing = true;
inline double RateFactor = 1.0;

// The open conversion stream, null when no conversion is active (owned by the conversion bridge).
inline Converter* ConversionStream = nullptr;

}  // namespace dl
