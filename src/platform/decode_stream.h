// Common shape of the block decoders behind Converter: push bytes in, 16-bit
// interleaved samples come out, and whatever a block leaves unfinished stays
// inside the decoder until the next push.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl::decode {

class StreamDecoder {
public:
    virtual ~StreamDecoder() = default;

    // Appends every sample the bytes complete; never throws on bad data.
    virtual void decode(const uint8_t* src, size_t len, std::vector<int16_t>& out) = 0;

    // No more bytes come: whatever the decoder still holds (a last frame it could not yet tell
    // complete) is decoded now.
    virtual void finish(std::vector<int16_t>& /*out*/) {}

    // Set once the stream switched rate or channel count; nothing more comes out.
    virtual bool format_changed() const { return false; }

    // Most sample frames `len` more source bytes can complete, counting what
    // the decoder may already hold back.
    virtual uint64_t max_frames(uint64_t len) const = 0;

    // Most source bytes whose output (from a block boundary) stays within `frames`.
    virtual uint64_t max_source(uint64_t frames) const = 0;
};

}  // namespace dl::decode
