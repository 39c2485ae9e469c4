#pragma once
// The format record that heads every source (the WAVE "fmt " chunk, or one the stream probes
// build) and the byte readers every parser here uses.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

// Format tags.
inline constexpr uint16_t kTagPcm = 0x0001;
inline constexpr uint16_t kTagMsAdpcm = 0x0002;
inline constexpr uint16_t kTagFloat = 0x0003;
inline constexpr uint16_t kTagALaw = 0x0006;
inline constexpr uint16_t kTagMuLaw = 0x0007;
inline constexpr uint16_t kTagImaAdpcm = 0x0011;
inline constexpr uint16_t kTagMsnAudio = 0x0032;  // its panel line counts bits per second
inline constexpr uint16_t kTagMpeg = 0x0050;
inline constexpr uint16_t kTagMpegLayer3 = 0x0055;
inline constexpr uint16_t kTagOggVorbis = 0x674F;  // the one the Ogg probe writes
inline constexpr uint16_t kTagExtensible = 0xFFFE;
// The lossless and the modern lossy stream, recorded with tags of our own: native FLAC ("fLaC"
// streams), FLAC in Ogg, and Opus in Ogg. The FLAC records carry the 34 bytes of the stream's
// STREAMINFO block as their extra bytes, the Opus record the OpusHead packet.
inline constexpr uint16_t kTagFlac = 0xF1AC;
inline constexpr uint16_t kTagOggFlac = 0xF1AD;
inline constexpr uint16_t kTagOpus = 0x704F;
inline constexpr size_t kFlacStreamInfoBytes = 34;

// The three Ogg Vorbis tags (with and without a fixed rate, and the variant with
// a header of its own).
inline constexpr bool is_ogg_tag(uint16_t tag) { return tag >= 0x674F && tag <= 0x6751; }
inline constexpr bool is_flac_tag(uint16_t tag) { return tag == kTagFlac || tag == kTagOggFlac; }
// Streams whose byte rate varies with the sound: sized by their average (or nominal) rate.
inline constexpr bool is_varying_rate_tag(uint16_t tag) {
    return tag == kTagMpeg || tag == kTagMpegLayer3 || is_ogg_tag(tag) || is_flac_tag(tag) || tag == kTagOpus;
}
// Codecs whose byte rate counts whole blocks: scaled and sized in blocks.
inline constexpr bool is_block_rate_tag(uint16_t tag) { return tag >= 0x0071 && tag <= 0x0073; }

// Little- and big-endian fields of bytes in memory.
inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Fields of a record held in a vector: reads past its end give 0, writes past it grow it.
inline uint16_t rd16(const std::vector<uint8_t>& r, size_t at) { return at + 2 <= r.size() ? le16(&r[at]) : 0; }
inline uint32_t rd32(const std::vector<uint8_t>& r, size_t at) { return at + 4 <= r.size() ? le32(&r[at]) : 0; }
inline void wr16(std::vector<uint8_t>& r, size_t at, uint16_t v) {
    if (at + 2 > r.size()) r.resize(at + 2);
    r[at] = uint8_t(v);
    r[at + 1] = uint8_t(v >> 8);
}
inline void wr32(std::vector<uint8_t>& r, size_t at, uint32_t v) {
    if (at + 4 > r.size()) r.resize(at + 4);
    for (int i = 0; i < 4; ++i) r[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Offsets of the common fields: tag u16, channels u16, rate u32, bytes/s u32, block align u16,
// bits u16, then the size of the extra bytes u16 and the extra bytes.
enum : size_t { kFmtTag = 0, kFmtChannels = 2, kFmtRate = 4, kFmtBytesPerSec = 8, kFmtBlockAlign = 12,
                kFmtBits = 14, kFmtCbSize = 16, kFmtExtra = 18 };

struct WaveFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint32_t bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits = 0;
    // The extra bytes the record really holds (never more than its size field says).
    const uint8_t* extra = nullptr;
    size_t extra_len = 0;
};

// The common fields of a record; false when it is shorter than 16 bytes. `extra` points into
// the record.
bool parse_wave_format(const std::vector<uint8_t>& record, WaveFormat& out);

// The bytes a second of plain samples (integer, float, A-law, mu-law, and those under the
// extensible tag) take: rate x block align, whatever the record's own byte-rate field says.
// 0 for other codings, and where the product does not fit.
uint32_t derived_byte_rate(const WaveFormat& f);

// The bytes a second of IMA or Microsoft ADPCM: rate x block align / samples per block (from the
// record's extra bytes), rounded. 0 for other codings or without a samples-per-block count.
uint32_t adpcm_byte_rate(const WaveFormat& f);

// A record the wave-out device takes as it is: PCM, 8 or 16 bits, one or two channels, a block
// of one frame, a rate from 1000 to 384000 Hz.
bool is_device_pcm(const WaveFormat& f);

}  // namespace dl
