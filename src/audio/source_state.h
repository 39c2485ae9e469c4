#pragma once
#include <cstdint>
#include <vector>

namespace dl {

// Facts derived from the open source's format record.
struct SourceInfoRecord {
    uint16_t format_tag = 0;
    uint32_t sample_rate = 0;
    int32_t khz = 0;  // (rate + 500) / 1000; not a multiple of 11 selects the 8000 Hz family
    uint32_t source_bytes_per_second = 0;
    uint32_t output_bytes_per_second = 0;
    int32_t bits = 0;
    int32_t block_align = 0;
    int32_t ChannelLayout = 0;  // 0 mono 8-bit, 1 mono 16-bit, 2 stereo 8-bit, 3 stereo 16-bit
    uint32_t DataRemaining = 0;
    uint32_t DataTotal = 0;
};
inline SourceInfoRecord SourceInfo;

// The format record of the open source: WAVEFORMATEX (tag u16, channels u16, rate u32, bytes/s u32,
// block align u16, bits u16, cbSize u16) and its extra bytes. Empty when none is held.
inline std::vector<uint8_t> SourceFormat;
inline bool SourceFormatHeld = false;

struct DiskSpaceRecord {
    uint32_t bytes_per_cluster = 0;
    uint32_t total = 0;
    uint32_t free = 0;
};
inline DiskSpaceRecord DiskSpace;

// Little-endian fields of a format record.
inline uint16_t rd16(const std::vector<uint8_t>& r, size_t at) {
    return at + 2 <= r.size() ? uint16_t(r[at] | (r[at + 1] << 8)) : 0;
}
inline uint32_t rd32(const std::vector<uint8_t>& r, size_t at) {
    return at + 4 <= r.size() ? uint32_t(r[at]) | (uint32_t(r[at + 1]) << 8) | (uint32_t(r[at + 2]) << 16) |
                                    (uint32_t(r[at + 3]) << 24)
                              : 0;
}
inline void wr16(std::vector<uint8_t>& r, size_t at, uint16_t v) {
    if (at + 2 > r.size()) r.resize(at + 2);
    r[at] = uint8_t(v);
    r[at + 1] = uint8_t(v >> 8);
}
inline void wr32(std::vector<uint8_t>& r, size_t at, uint32_t v) {
    if (at + 4 > r.size()) r.resize(at + 4);
    for (int i = 0; i < 4; ++i) r[at + i] = uint8_t(v >> (8 * i));
}
// Offsets of the WAVEFORMATEX fields.
enum : size_t { kFmtTag = 0, kFmtChannels = 2, kFmtRate = 4, kFmtBytesPerSec = 8, kFmtBlockAlign = 12,
                kFmtBits = 14, kFmtCbSize = 16 };

}  // namespace dl
