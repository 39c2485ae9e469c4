#pragma once
// Hand-built sound files for the reader tests.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wave_format.h"
#include "support/wav_builder.h"

namespace reader_files {

using dl_test::be32;
using dl_test::chunk;
using dl_test::u16le;
using dl_test::u32le;
using dl_test::pcm_fmt;
using dl_test::riff;
using dl_test::wave;

// MPEG audio frame header bytes.
struct Mpeg {
    int version_bit = 1;   // 1 MPEG-1
    bool sync_fff = true;  // false: 0xFFE (MPEG-2.5)
    int layer_code = 1;    // 01 layer III
    bool crc = false;
    int bitrate_index = 9; // 128 kbit/s for MPEG-1 layer III
    int rate_index = 0;    // 44.1 kHz
    int padding = 0;
    int mode = 0;          // 3 single channel
    std::string bytes() const {
        uint8_t b1 = uint8_t((sync_fff ? 0xF0 : 0xE0) | version_bit << 3 | layer_code << 1 | (crc ? 0 : 1));
        uint8_t b2 = uint8_t(bitrate_index << 4 | rate_index << 2 | padding << 1);
        uint8_t b3 = uint8_t(mode << 6);
        return {char(0xFF), char(b1), char(b2), char(b3)};
    }
};

// One frame of `length` bytes, optionally carrying a Xing tag at `xing_at` after the header.
inline std::string frame(const Mpeg& h, size_t length, int xing_at = -1, uint32_t flags = 3, uint32_t frames = 0) {
    std::string f = h.bytes() + std::string(length - 4, '\0');
    if (xing_at >= 0) f.replace(4 + size_t(xing_at), 12, "Xing" + be32(flags) + be32(frames));
    return f;
}

inline std::string id3v2(uint32_t size, const std::string& body) {
    std::string s = "ID3";
    s += char(3);
    s += char(0);
    s += char(0);
    for (int shift : {21, 14, 7, 0}) s += char((size >> shift) & 0x7f);
    return s + body;
}

// The first Ogg page with a single packet.
inline std::string ogg_page(const std::string& packet) {
    std::string p = "OggS";
    p += char(0);       // version
    p += char(2);       // first page
    p += std::string(8, '\0') + u32le(1234) + u32le(0) + u32le(0);
    p += char(1);       // one segment
    p += char(packet.size());
    return p + packet;
}
inline std::string vorbis_id(uint8_t channels, uint32_t rate, int32_t nominal) {
    return std::string("\x01vorbis", 7) + u32le(0) + std::string(1, char(channels)) + u32le(rate) + u32le(0) +
           u32le(uint32_t(nominal)) + u32le(0) + std::string(1, char(0xb8)) + std::string(1, char(1));
}

// A FLAC STREAMINFO block's 34 bytes (frame sizes unknown, no MD5).
inline std::string flac_stream_info(uint32_t min_block, uint32_t max_block, uint32_t rate, unsigned channels,
                                    unsigned bits, uint64_t total) {
    std::string b(34, '\0');
    size_t at = 0;
    auto put = [&](uint64_t v, unsigned n) {
        for (unsigned i = n; i-- > 0; ++at)
            if ((v >> i) & 1) b[at / 8] = char(uint8_t(b[at / 8]) | 0x80 >> (at % 8));
    };
    put(min_block, 16), put(max_block, 16), put(0, 24), put(0, 24);
    put(rate, 20), put(channels - 1, 3), put(bits - 1, 5), put(total, 36);
    return b;
}
// A FLAC metadata block; `declared` overrides its length field.
inline std::string flac_block(int type, bool last, const std::string& body, int64_t declared = -1) {
    const uint32_t n = declared < 0 ? uint32_t(body.size()) : uint32_t(declared);
    return std::string{char((last ? 0x80 : 0) | type), char(n >> 16), char(n >> 8), char(n)} + body;
}
// The first packet of FLAC in Ogg for a STREAMINFO: mapping version `major`.1, one more header.
inline std::string ogg_flac_first(const std::string& stream_info, char major = 1) {
    return std::string("\x7f" "FLAC", 5) + major + '\0' + '\0' + '\1' + "fLaC" + flac_block(0, false, stream_info);
}
// An OpusHead packet; `family` 0 has no table.
inline std::string opus_head(uint8_t channels, uint8_t family = 0, const std::string& table = "", uint8_t version = 1) {
    return std::string("OpusHead") + char(version) + char(channels) + u16le(312) + u32le(48000) + u16le(0) +
           char(family) + table;
}

}  // namespace reader_files
