// 4-bit ADPCM sources in their WAV block layout.
#pragma once

#include <memory>
#include <vector>

#include "platform/decode_stream.h"

namespace dl::decode {

// Frames one block holds; 0 when the block cannot even hold its own header.
// samples_per_block from the format's extra bytes (0 if absent) may only lower it.
size_t ima_frames_per_block(size_t block_align, unsigned channels, size_t samples_per_block);
size_t ms_frames_per_block(size_t block_align, unsigned channels, size_t samples_per_block);

std::unique_ptr<StreamDecoder> make_ima_adpcm_decoder(size_t block_align, unsigned channels,
                                                      size_t frames_per_block);

struct MsCoefficient {
    int16_t c1;
    int16_t c2;
};
// The seven predictor pairs every encoder writes; used when a format carries none.
const std::vector<MsCoefficient>& ms_standard_coefficients();

std::unique_ptr<StreamDecoder> make_ms_adpcm_decoder(size_t block_align, unsigned channels,
                                                     size_t frames_per_block,
                                                     std::vector<MsCoefficient> coefficients);

}  // namespace dl::decode
