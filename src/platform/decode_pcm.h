// Uncompressed and companded sources brought to 16-bit: wide integer PCM,
// IEEE float, A-law and mu-law.
#pragma once

#include <memory>

#include "platform/decode_stream.h"

namespace dl::decode {

enum class SampleCoding { Integer, Float, ALaw, MuLaw };

// bits: 8/16/24/32 for Integer, 32/64 for Float, 8 for the companded codings.
std::unique_ptr<StreamDecoder> make_sample_decoder(SampleCoding coding, unsigned bits,
                                                   unsigned channels);

// One 32-bit full-scale sample to 16 bits, rounded to nearest, top clipped.
int16_t narrow_to_16(int32_t full_scale);
// One float sample (full scale +-1.0) to 16 bits.
int16_t float_to_16(double value);
// Decoded floats (full scale +-1.0) to 16 bits as players make them: scaled, clipped and rounded to
// nearest even (lrint's rounding, without a library call per sample); NaN becomes 0.
void floats_to_16(const float* in, size_t n, int16_t* out);
int16_t alaw_to_16(uint8_t code);
int16_t mulaw_to_16(uint8_t code);

}  // namespace dl::decode
