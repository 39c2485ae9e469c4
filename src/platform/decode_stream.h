// Common shape of the block decoders behind Converter: push bytes in, 16-bit
// interleaved samples come out, and whatever a block leaves unfinished stays
// inside the decoder until the next push.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

// Bytes of a stream passed over between frames that decoded (damage the decoder found its way
// past), in how many places, and the bytes after the last frame that decoded (once the input has
// ended: a rest in which no frame could be found).
struct StreamDamage {
    uint64_t skipped_bytes = 0;
    uint64_t skipped_places = 0;
    uint64_t undecoded_tail = 0;
};

}  // namespace dl

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

    // What the decoder passed over; zero where it does not count it.
    virtual StreamDamage damage() const { return {}; }

    // Most sample frames `len` more source bytes can complete, counting what
    // the decoder may already hold back.
    virtual uint64_t max_frames(uint64_t len) const = 0;

    // Most sample frames a whole stream of `len` bytes, from its first byte, can decode to, from the
    // densest coding the format allows rather than from what its headers say.
    virtual uint64_t max_stream_frames(uint64_t len) const { return max_frames(len); }

    // Most source bytes whose output (from a block boundary) stays within `frames`.
    virtual uint64_t max_source(uint64_t frames) const = 0;
};

}  // namespace dl::decode
