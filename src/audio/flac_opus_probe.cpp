#include "audio/flac_opus_probe.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/source.h"
#include "audio/source_messages.h"
#include "audio/stream_probe.h"
#include "platform/decode_flac.h"
#include "platform/decode_opus.h"
#include "platform/wave_format.h"
#include "state/source.h"

namespace dl {

namespace {

constexpr int kFlacBlockStreamInfo = 0, kFlacBlockInvalid = 127;

bool read_at(uint64_t at, void* buf, int64_t n) {
    return SourceFile && SourceFile->seek(int64_t(at), SEEK_SET) >= 0 && SourceFile->read(buf, n) == n;
}

ProbeResult broken() {
    ReportSourceMessage(SourceMessage::WaveBroken);
    FreeFormatRecord();
    CloseSourceFile();
    return kProbeFailed;
}

// The record of a FLAC stream: its own layout, and the STREAMINFO block for the decoder.
bool build_flac_record(uint16_t tag, const uint8_t* stream_info) {
    const decode::FlacStreamInfo info = decode::parse_flac_stream_info(stream_info);
    if (AllocateFormatRecord(uint32_t(kFmtExtra + kFlacStreamInfoBytes)) != Result::Done) return false;
    std::vector<uint8_t>& r = SourceFormat;
    wr16(r, kFmtTag, tag);
    wr16(r, kFmtChannels, uint16_t(info.channels));
    wr32(r, kFmtRate, info.rate);
    wr16(r, kFmtBlockAlign, uint16_t(info.channels * ((info.bits + 7) / 8)));
    wr16(r, kFmtBits, uint16_t(info.bits));
    wr16(r, kFmtCbSize, uint16_t(kFlacStreamInfoBytes));
    std::memcpy(&r[kFmtExtra], stream_info, kFlacStreamInfoBytes);
    return true;
}

// The stream lasts `seconds`: its byte rate is that of its sound, the header packets of an Ogg
// stream (comments, pictures) left out.
void set_length(double seconds) {
    if (!(seconds > 0)) return;
    SourceInfo.ExactSeconds = seconds;
    const uint32_t all = SourceInfo.DataTotal;
    if (SourceInfo.HeaderBytes < all) SourceInfo.DataTotal = all - SourceInfo.HeaderBytes;
    wr32(SourceFormat, kFmtBytesPerSec, AverageByteRate(seconds));
    SourceInfo.DataTotal = all;
}

// The length the stream's sample count gives.
void set_flac_length(const decode::FlacStreamInfo& info, uint64_t samples) {
    if (samples > 0) set_length(double(samples) / info.rate);
}

// The first page of an Ogg stream holding one packet alone: its header and the packet.
bool read_first_ogg_packet(uint64_t offset, uint8_t (&page)[28], std::vector<uint8_t>& packet) {
    if (!read_at(offset, page, sizeof page) || std::memcmp(page, "OggS", 4) != 0 || page[26] != 1) return false;
    packet.resize(page[27]);
    return SourceFile->read(packet.data(), int64_t(packet.size())) == int64_t(packet.size());
}

// The CRC-16 of a whole frame (polynomial 0x8005, no reflection) is 0 over the frame with its own
// CRC at its end. Run backwards from 0 at the end of the bytes, the register gives at each
// position the value it must start from there to end at 0: a frame can start only where that is 0.
// One step back over eight bits is linear, and the high byte only shifts down.
struct Crc16Backwards {
    uint16_t low[256];
    Crc16Backwards() {
        for (unsigned x = 0; x < 256; ++x) {
            uint16_t c = uint16_t(x);
            for (int b = 0; b < 8; ++b) c = c & 1 ? uint16_t(((c ^ 0x8005) >> 1) | 0x8000) : uint16_t(c >> 1);
            low[x] = c;
        }
    }
    // The register before `byte`, from the one after it.
    uint16_t before(uint16_t after, uint8_t byte) const {
        return uint16_t((after >> 8) ^ low[after & 0xFF] ^ (uint16_t(byte) << 8));
    }
};

// The samples a channel up to the end of the frame at `f`, whose header is checked (its CRC-16 is
// the caller's); 0 if it is none.
uint64_t samples_through_frame(const uint8_t* f, size_t n, const decode::FlacStreamInfo& info) {
    if (n < 6 || f[0] != 0xFF || (f[1] & 0xFE) != 0xF8 || (f[3] & 1)) return 0;
    // The frame or sample number, coded as UTF-8 is (up to 36 bits).
    size_t ones = 0;
    while (ones < 8 && (f[4] & (0x80 >> ones))) ++ones;
    if (ones == 1 || ones == 8) return 0;
    const size_t len = ones == 0 ? 1 : ones;
    uint64_t number = f[4] & (0x7F >> ones);
    size_t at = 5;
    for (size_t k = 1; k < len; ++k, ++at) {
        if (at >= n || (f[at] & 0xC0) != 0x80) return 0;
        number = number << 6 | (f[at] & 0x3F);
    }
    const int code = f[2] >> 4, rate_code = f[2] & 15;
    uint64_t block = 0;
    if (code == 1) block = 192;
    else if (code >= 2 && code <= 5) block = 576u << (code - 2);
    else if (code >= 8) block = 256u << (code - 8);
    else if (code == 6 && at < n) block = f[at++] + 1u;
    else if (code == 7 && at + 1 < n) block = (f[at] << 8 | f[at + 1]) + 1u, at += 2;
    if (rate_code == 12) at += 1;
    else if (rate_code == 13 || rate_code == 14) at += 2;
    if (block == 0 || at >= n || FlacHeaderCrc8(f, at) != f[at]) return 0;
    // Fixed-size blocks count frames, others samples.
    return ((f[1] & 1) ? number : number * info.max_block) + block;
}

// A stream that does not say how long it is: the length its last frame gives, found in the last
// bytes and checked whole up to the end of the sound (0 when none is). One pass over the bytes,
// however many of them look like frame headers.
uint64_t samples_from_last_frame(uint64_t start, uint64_t end, const decode::FlacStreamInfo& info) {
    const uint64_t most = uint64_t(info.max_block) * info.channels * (info.bits + 1) / 8 + 64;
    const uint64_t n = std::min<uint64_t>(end - start, std::max<uint64_t>(most, 65536));
    std::vector<uint8_t> tail(n);
    if (!read_at(end - n, tail.data(), int64_t(n))) return 0;
    static const Crc16Backwards crc;
    uint16_t needed = 0;
    for (size_t i = n; i-- > 0;) {
        needed = crc.before(needed, tail[i]);
        if (needed != 0 || tail[i] != 0xFF || i + 1 >= n || (tail[i + 1] & 0xFE) != 0xF8) continue;
        if (const uint64_t samples = samples_through_frame(&tail[i], n - i, info)) return samples;
    }
    return 0;
}

}  // namespace

uint8_t FlacHeaderCrc8(const uint8_t* p, size_t n) {
    uint8_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int b = 0; b < 8; ++b) c = uint8_t(c & 0x80 ? (c << 1) ^ 0x07 : c << 1);
    }
    return c;
}

ProbeResult ProbeFlacStream() {
    uint8_t b[10];
    uint64_t at = 0;
    if (!read_at(0, b, 4)) return kProbeNotThisKind;
    if (std::memcmp(b, "ID3", 3) == 0) {
        if (SourceFile->read(b + 4, 6) != 6) return kProbeNotThisKind;
        const uint64_t tag = uint64_t(b[6] & 0x7f) << 21 | uint64_t(b[7] & 0x7f) << 14 | uint64_t(b[8] & 0x7f) << 7 |
                             uint64_t(b[9] & 0x7f);
        at = 10 + tag + ((b[5] & 0x10) ? 10 : 0);  // a footer follows when the flags say so
        if (!read_at(at, b, 4)) return kProbeNotThisKind;
    }
    if (std::memcmp(b, "fLaC", 4) != 0) return kProbeNotThisKind;

    // The metadata blocks, STREAMINFO first; each must lie inside the file.
    const uint64_t size = SourceFile->file_size();
    uint8_t stream_info[kFlacStreamInfoBytes];
    uint64_t pos = at + 4;
    for (bool first = true, last = false; !last; first = false) {
        uint8_t head[4];
        if (!read_at(pos, head, 4)) return broken();
        last = head[0] & 0x80;
        const int type = head[0] & 0x7F;
        const uint32_t length = uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3];
        if (type == kFlacBlockInvalid || (first != (type == kFlacBlockStreamInfo))) return broken();
        if (first && (length != kFlacStreamInfoBytes || SourceFile->read(stream_info, sizeof stream_info) != 34))
            return broken();
        pos += 4 + uint64_t(length);
        if (pos > size) return broken();
    }
    const decode::FlacStreamInfo info = decode::parse_flac_stream_info(stream_info);
    if (!decode::flac_stream_info_sane(info)) return broken();
    if (!build_flac_record(kTagFlac, stream_info)) return kProbeFailed;

    SourceInfo.DataStart = pos;
    const uint64_t end = size - TrailingTagBytes(*SourceFile);
    SetStreamLength(end > pos ? end - pos : 0);
    set_flac_length(info, info.total_samples ? info.total_samples
                                             : end > pos ? samples_from_last_frame(pos, end, info) : 0);
    return kProbeRecognised;
}

ProbeResult ProbeOggFlacStream(uint64_t offset) {
    uint8_t page[28];
    std::vector<uint8_t> p;
    // The mapping's first packet: 0x7F "FLAC", version 1.x, the header count, then "fLaC" and the
    // STREAMINFO block.
    if (!read_first_ogg_packet(offset, page, p) || p.size() < 17 + kFlacStreamInfoBytes ||
        std::memcmp(p.data(), "\x7F" "FLAC", 5) != 0 || std::memcmp(&p[9], "fLaC", 4) != 0)
        return kProbeNotThisKind;
    if (p[5] != 1 || (p[13] & 0x7F) != kFlacBlockStreamInfo ||
        (uint32_t(p[14]) << 16 | uint32_t(p[15]) << 8 | p[16]) != kFlacStreamInfoBytes)
        return broken();
    const decode::FlacStreamInfo info = decode::parse_flac_stream_info(&p[17]);
    if (!decode::flac_stream_info_sane(info)) return broken();
    if (!build_flac_record(kTagOggFlac, &p[17])) return kProbeFailed;

    SourceInfo.DataStart = offset;
    SetStreamLength(SourceFile->file_size() - offset);
    // The header packets: the first and the metadata blocks it counts (0: not said; one at least).
    const int blocks = p[7] << 8 | p[8];
    const OggExtent extent = MeasureOggStream(*SourceFile, offset, le32(page + 14), 1 + (blocks ? blocks : 1));
    SourceInfo.HeaderBytes = uint32_t(std::min<uint64_t>(extent.header_bytes, 0xFFFFFFFFu));
    if (extent.played_bytes) SetStreamLength(extent.played_bytes);
    set_flac_length(info, info.total_samples ? info.total_samples : extent.last_granule);
    return kProbeRecognised;
}

ProbeResult ProbeOpusStream(uint64_t offset) {
    uint8_t page[28];
    std::vector<uint8_t> p;
    if (!read_first_ogg_packet(offset, page, p)) return kProbeNotThisKind;
    decode::OpusHeadFacts head;
    switch (decode::check_opus_head(p.data(), p.size(), head)) {
        case decode::OpusHeadCheck::NotOpus: return kProbeNotThisKind;
        case decode::OpusHeadCheck::Broken: return broken();
        case decode::OpusHeadCheck::Ok: break;
    }
    if (AllocateFormatRecord(uint32_t(kFmtExtra + p.size())) != Result::Done) return kProbeFailed;
    std::vector<uint8_t>& r = SourceFormat;
    wr16(r, kFmtTag, kTagOpus);
    wr16(r, kFmtChannels, uint16_t(head.channels));
    wr32(r, kFmtRate, decode::kOpusRate);
    wr16(r, kFmtBlockAlign, uint16_t(head.channels * 2));
    wr16(r, kFmtBits, 16);
    wr16(r, kFmtCbSize, uint16_t(p.size()));
    std::memcpy(&r[kFmtExtra], p.data(), p.size());

    SourceInfo.DataStart = offset;
    SetStreamLength(SourceFile->file_size() - offset);
    // Two header packets: the head and the comments.
    const OggExtent extent = MeasureOggStream(*SourceFile, offset, le32(page + 14), 2);
    SourceInfo.HeaderBytes = uint32_t(std::min<uint64_t>(extent.header_bytes, 0xFFFFFFFFu));
    if (extent.played_bytes) SetStreamLength(extent.played_bytes);
    // The decoder drops each link's pre-skip; the granule positions count them.
    const uint64_t skipped = extent.opus_pre_skip ? extent.opus_pre_skip : head.pre_skip;
    if (extent.last_granule > skipped) set_length(double(extent.last_granule - skipped) / decode::kOpusRate);
    return kProbeRecognised;
}

}  // namespace dl
