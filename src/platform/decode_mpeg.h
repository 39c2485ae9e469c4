// MPEG audio (layers I-III, MPEG-1/2/2.5) pushed block by block.
#pragma once

#include <memory>

#include "platform/decode_stream.h"

namespace dl::decode {

// Output must keep `rate` and `channels`; a stream that decodes to anything
// else stops at that point. Null when the decoder library refuses a handle.
std::unique_ptr<StreamDecoder> make_mpeg_decoder(uint32_t rate, unsigned channels);

}  // namespace dl::decode
