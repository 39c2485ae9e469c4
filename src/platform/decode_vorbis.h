// Ogg Vorbis pushed page by page.
#pragma once

#include <memory>

#include "platform/decode_stream.h"

namespace dl::decode {

// avg_bytes_per_second is the nominal rate from the format (0 if unknown);
// it only shapes the size estimates.
std::unique_ptr<StreamDecoder> make_vorbis_decoder(uint32_t rate, unsigned channels,
                                                   uint32_t avg_bytes_per_second);

// True when `packet` is a Vorbis identification header we are willing to
// decode: version 0, one or two channels, a sane rate, valid block sizes.
bool vorbis_id_acceptable(const uint8_t* packet, size_t len);

}  // namespace dl::decode
