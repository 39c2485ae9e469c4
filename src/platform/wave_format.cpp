
#include <algorithm>

#include "platform/wave_format.h"


namespace dl {

bool parse_wave_format(const std::vector<uint8_t>& record, WaveFormat& out) {
    out = WaveFormat{};
    if (record.size() < 16) return false;
    const uint8_t* p = record.data();
    out.tag = le16(p + kFmtTag);
    out.channels = le16(p + kFmtChannels);
    out.rate = le32(p + kFmtRate);
    out.bytes_per_second = le32(p + kFmtBytesPerSec);
    out.block_align = le16(p + kFmtBlockAlign);
    out.bits = le16(p + kFmtBits);
    if (record.size() >= kFmtExtra) {
        out.extra = p + kFmtExtra;
        out.extra_len = std::min<size_t>(le16(p + kFmtCbSize), record.size() - kFmtExtra);
    }
    return true;
}

uint32_t derived_byte_rate(const WaveFormat& f) {
    uint16_t tag = f.tag;
    if (tag == kTagExtensible) tag = f.extra_len >= 8 ? le16(f.extra + 6) : 0;
    if (tag != kTagPcm && tag != kTagFloat && tag != kTagALaw && tag != kTagMuLaw) return 0;
    const uint64_t a = uint64_t(f.rate) * f.block_align;
    return a <= 0xFFFFFFFFu ? uint32_t(a) : 0;
}

uint32_t adpcm_byte_rate(const WaveFormat& f) {
    if ((f.tag != kTagImaAdpcm && f.tag != kTagMsAdpcm) || f.extra_len < 2) return 0;
    const uint16_t samples_per_block = le16(f.extra);
    if (samples_per_block == 0) return 0;
    const uint64_t a = (uint64_t(f.rate) * f.block_align + samples_per_block / 2) / samples_per_block;
    return a <= 0xFFFFFFFFu ? uint32_t(a) : 0;
}

bool is_device_pcm(const WaveFormat& f) {
    return f.tag == kTagPcm && (f.bits == 8 || f.bits == 16) && (f.channels == 1 || f.channels == 2) &&
           f.block_align == f.channels * f.bits / 8 && f.rate >= 1000 && f.rate <= 384000;
}

}  // namespace dl
