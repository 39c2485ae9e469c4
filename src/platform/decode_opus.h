// Opus in Ogg pushed page by page, decoded at 48 kHz.
#pragma once

#include <memory>

#include "platform/decode_stream.h"

namespace dl::decode {

inline constexpr uint32_t kOpusRate = 48000;

// What an OpusHead packet says, once it checks out.
struct OpusHeadFacts {
    unsigned channels = 0;
    uint32_t pre_skip = 0;  // samples at 48 kHz the decoder's output begins with and drops
    uint32_t input_rate = 0;
};
enum class OpusHeadCheck { NotOpus, Broken, Ok };
// NotOpus without the "OpusHead" magic; Broken for an unknown version, a bad length or a channel
// mapping that does not add up.
OpusHeadCheck check_opus_head(const uint8_t* packet, size_t len, OpusHeadFacts& out);

// avg_bytes_per_second (0 if unknown) only shapes the size estimates.
std::unique_ptr<StreamDecoder> make_opus_decoder(unsigned channels, uint32_t avg_bytes_per_second);

}  // namespace dl::decode
