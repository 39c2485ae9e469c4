// FLAC, native or in Ogg, pushed block by block.
#pragma once

#include <memory>

#include "platform/decode_stream.h"

namespace dl::decode {

// The fields of a FLAC STREAMINFO block (its 34 bytes, big-endian bit fields).
struct FlacStreamInfo {
    uint32_t min_block = 0, max_block = 0;  // samples a channel
    uint32_t min_frame = 0, max_frame = 0;  // bytes, 0: unknown
    uint32_t rate = 0;
    unsigned channels = 0;
    unsigned bits = 0;
    uint64_t total_samples = 0;  // a channel; 0: unknown
};
FlacStreamInfo parse_flac_stream_info(const uint8_t* block34);
// A STREAMINFO a stream can be decoded by: a rate, 1 to 8 channels, 4 to 32 bits, block sizes
// of 16 to 65535 samples with the least not above the most.
bool flac_stream_info_sane(const FlacStreamInfo& s);

// `stream_info` is the STREAMINFO of the stream; `ogg` when the bytes are Ogg pages (from the
// first page on), else the stream's frames, from the first one on (the metadata blocks left out).
// Null when the STREAMINFO is not sane or does not give `channels`.
std::unique_ptr<StreamDecoder> make_flac_decoder(const uint8_t* stream_info, bool ogg, unsigned channels);

}  // namespace dl::decode
