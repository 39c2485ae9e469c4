// Decoders for formats cut into fixed-size blocks (one sample frame of PCM,
// one ADPCM block): a block split across two pushes is put back together.
#pragma once

#include "platform/decode_stream.h"

namespace dl::decode {

class BlockDecoder : public StreamDecoder {
public:
    BlockDecoder(size_t block_bytes, size_t frames_per_block, unsigned channels);

    void decode(const uint8_t* src, size_t len, std::vector<int16_t>& out) final;
    uint64_t max_frames(uint64_t len) const final;
    uint64_t max_source(uint64_t frames) const final;

protected:
    // Decodes `blocks` whole blocks; each yields frames_per_block frames.
    virtual void decode_blocks(const uint8_t* src, size_t blocks, int16_t* out) = 0;
    // The same blocks at the width they are coded in, where it is more than 16 bits; false when not.
    virtual bool decode_blocks_wide(const uint8_t* /*src*/, size_t /*blocks*/, float* /*out*/) { return false; }

    size_t block_bytes() const { return block_bytes_; }
    size_t frames_per_block() const { return frames_per_block_; }
    unsigned channels() const { return channels_; }

private:
    void emit(const uint8_t* src, size_t blocks, std::vector<int16_t>& out);

    size_t block_bytes_;
    size_t frames_per_block_;
    unsigned channels_;
    std::vector<uint8_t> carry_;
};

}  // namespace dl::decode
