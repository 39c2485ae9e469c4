#include "platform/decode_block.h"

#include <algorithm>

namespace dl::decode {

BlockDecoder::BlockDecoder(size_t block_bytes, size_t frames_per_block, unsigned channels)
    : block_bytes_(block_bytes), frames_per_block_(frames_per_block), channels_(channels) {
    carry_.reserve(block_bytes_);
}

void BlockDecoder::emit(const uint8_t* src, size_t blocks, std::vector<int16_t>& out) {
    if (blocks == 0) return;
    const size_t at = out.size();
    const size_t samples = blocks * frames_per_block_ * channels_;
    out.resize(at + samples);
    decode_blocks(src, blocks, out.data() + at);
    if (!wide_) return;
    const size_t wide_at = wide_->size();
    wide_->resize(wide_at + samples);
    if (!decode_blocks_wide(src, blocks, wide_->data() + wide_at)) wide_->resize(wide_at);
}

void BlockDecoder::decode(const uint8_t* src, size_t len, std::vector<int16_t>& out) {
    if (!carry_.empty()) {
        const size_t take = std::min(len, block_bytes_ - carry_.size());
        carry_.insert(carry_.end(), src, src + take);
        src += take;
        len -= take;
        if (carry_.size() < block_bytes_) return;
        emit(carry_.data(), 1, out);
        carry_.clear();
    }
    const size_t blocks = len / block_bytes_;
    emit(src, blocks, out);
    const size_t used = blocks * block_bytes_;
    carry_.assign(src + used, src + len);
}

uint64_t BlockDecoder::max_frames(uint64_t len) const {
    // Up to block_bytes - 1 bytes may be waiting from earlier pushes.
    return (len + block_bytes_ - 1) / block_bytes_ * frames_per_block_;
}

uint64_t BlockDecoder::max_source(uint64_t frames) const {
    return frames / frames_per_block_ * block_bytes_;
}

}  // namespace dl::decode
