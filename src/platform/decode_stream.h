// Common shape of the block decoders behind Converter: push bytes in, 16-bit
// interleaved samples come out, and whatever a block leaves unfinished stays
// inside the decoder until the next push.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dl {

// Where damage was passed over: the place in the decoded sound (sample frames from its start) and
// the sound it took, which comes out as silence of its length so that what follows keeps its time.
struct DamagePlace {
    uint64_t frame = 0;
    uint64_t lost_frames = 0;
};

// Bytes of a stream passed over between frames that decoded (damage the decoder found its way
// past), in how many places, and the bytes after the last frame that decoded (once the input has
// ended: a rest in which no frame could be found). The first places are kept with their times.
struct StreamDamage {
    uint64_t skipped_bytes = 0;
    uint64_t skipped_places = 0;
    uint64_t undecoded_tail = 0;
    uint64_t lost_frames = 0;  // of sound, put back as silence
    std::vector<DamagePlace> places;
    static constexpr size_t kKeptPlaces = 32;

    // A place of damage; one right where the last one was joins it.
    void note(uint64_t frame, uint64_t bytes, uint64_t lost) {
        skipped_bytes += bytes;
        lost_frames += lost;
        if (!places.empty() && places.back().frame == frame) {
            places.back().lost_frames += lost;
            return;
        }
        ++skipped_places;
        if (places.size() < kKeptPlaces) places.push_back({frame, lost});
    }
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

    // Asks for every sample also at the width the stream holds it, as a fraction of full scale
    // (floats may pass 1.0), appended to `wide` beside the 16-bit ones: one for one, in the same
    // order. A decoder whose samples are no wider than 16 bits leaves it to the caller. Set before
    // the first bytes.
    virtual void keep_wide(std::vector<float>* wide) { wide_ = wide; }

    // Most sample frames `len` more source bytes can complete, counting what
    // the decoder may already hold back.
    virtual uint64_t max_frames(uint64_t len) const = 0;

    // Most sample frames a whole stream of `len` bytes, from its first byte, can decode to, from the
    // densest coding the format allows rather than from what its headers say.
    virtual uint64_t max_stream_frames(uint64_t len) const { return max_frames(len); }

    // Most source bytes whose output (from a block boundary) stays within `frames`.
    virtual uint64_t max_source(uint64_t frames) const = 0;

protected:
    std::vector<float>* wide_ = nullptr;
};

}  // namespace dl::decode
