#include "audio/stream_probe.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "audio/source.h"
#include "platform/message_box.h"
#include "platform/wave_format.h"
#include "state/source.h"

namespace dl {

namespace {

// kbit/s by [version][layer - 1][bit-rate index].
constexpr uint16_t kBitRates[3][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
constexpr uint32_t kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

void diagnostic(const std::string& text) { message_box({text, "", true, MbIcon::None}); }

bool read_exact(void* buf, int64_t n) { return SourceFile && SourceFile->read(buf, n) == n; }

// Past an ID3v2 tag that starts at `start`: the four bytes that begin with the first 0xFF.
bool skip_tag(uint64_t start, uint8_t* b) {
    uint8_t flags[2], size[4];
    if (!read_exact(flags, 2) || !read_exact(size, 4)) return false;
    uint64_t tag = uint64_t(size[0] & 0x7f) << 21 | uint64_t(size[1] & 0x7f) << 14 | uint64_t(size[2] & 0x7f) << 7 |
                   uint64_t(size[3] & 0x7f);
    if (SourceFile->seek(int64_t(start + 10 + tag), SEEK_SET) < 0) return false;
    for (;;) {
        if (!read_exact(b, 4)) return false;
        if (b[0] == 0xFF) return true;
        for (int i = 1; i < 4; ++i) {
            if (b[i] == 0xFF) {
                SourceFile->seek(i - 4, SEEK_CUR);
                break;
            }
        }
    }
}

}  // namespace

MpegHeaderCheck ParseMpegHeader(const uint8_t* b, MpegHeader& h) {
    h = MpegHeader{};
    h.raw = be32(b);
    const uint32_t sync = h.raw >> 20;
    if (sync != 0xFFF && sync != 0xFFE) return MpegHeaderCheck::BadSync;
    const bool v1 = (b[1] >> 3) & 1;
    h.version = v1 ? 0 : (sync == 0xFFF ? 1 : 2);
    const int layer_code = (b[1] >> 1) & 3;
    h.crc = (b[1] & 1) == 0;
    h.bitrate_index = b[2] >> 4;
    h.rate_index = (b[2] >> 2) & 3;
    h.padding = (b[2] >> 1) & 1;
    h.channel_mode = b[3] >> 6;
    // Free format has no length to go by, and 15 is forbidden: neither starts a usable frame.
    if (h.bitrate_index == 0 || h.bitrate_index == 15) return MpegHeaderCheck::BadSync;
    if (layer_code == 0) return MpegHeaderCheck::BadLayer;
    if (h.rate_index == 3) return MpegHeaderCheck::BadRate;
    h.layer = 4 - layer_code;
    h.kbps = kBitRates[h.version][h.layer - 1][h.bitrate_index];
    h.rate = kSampleRates[h.version][h.rate_index];
    return MpegHeaderCheck::Ok;
}

uint32_t MpegFrameLength(int version, int layer, int kbps, uint32_t rate, int padding) {
    if (rate == 0) return 0;
    const uint32_t k = uint32_t(kbps), pad = uint32_t(padding);
    if (layer == 1) return (k * 12000 / rate + pad) * 4;
    // Layer II frames hold 1152 samples in every version; layer III halves that below MPEG-1.
    return k * (version == 0 || layer == 2 ? 144000 : 72000) / rate + pad;
}

int ProbeMpegStream() {
    if (!SourceFile) return kProbeNotThisKind;
    const uint64_t start = SourceFile->tell();
    uint8_t b[4];
    if (!read_exact(b, 4)) return kProbeNotThisKind;
    if (b[0] == 'I' && b[1] == 'D' && b[2] == '3' && !skip_tag(start, b)) return kProbeNotThisKind;

    MpegHeader first;
    if (ParseMpegHeader(b, first) != MpegHeaderCheck::Ok) return kProbeNotThisKind;
    if (AllocateFormatRecord(30) == 0) return kProbeFailed;

    // The standard frame length already counts a CRC, so frames with one need no correction.
    const uint32_t length = MpegFrameLength(first.version, first.layer, first.kbps, first.rate, first.padding);
    std::vector<uint8_t>& r = SourceFormat;
    wr16(r, kFmtTag, kTagMpegLayer3);
    wr16(r, kFmtChannels, first.channel_mode == 3 ? 1 : 2);
    wr32(r, kFmtRate, first.rate);
    wr32(r, kFmtBytesPerSec, uint32_t(first.kbps) * 125);
    wr16(r, kFmtBlockAlign, 1);
    wr16(r, kFmtBits, 0);
    wr16(r, kFmtCbSize, 12);
    wr16(r, 18, 1);
    wr32(r, 20, uint32_t(first.padding));
    wr16(r, 24, uint16_t(length));
    wr16(r, 26, 1);
    wr16(r, 28, 1393);

    std::vector<uint8_t> body;
    size_t body_read = 0;
    const uint32_t body_len = length > 4 ? length - 4 : 0;
    try {
        body.resize(body_len);
    } catch (const std::bad_alloc&) {
        diagnostic("memerr size=" + std::to_string(int(length) - 4));
    }
    if (!body.empty()) {
        int64_t got = SourceFile->read(body.data(), int64_t(body.size()));
        body_read = got > 0 ? size_t(got) : 0;
    }

    uint8_t b2[4];
    if (!read_exact(b2, 4)) {
        diagnostic("read");
        return kProbeRecognised;
    }
    MpegHeader second;
    switch (ParseMpegHeader(b2, second)) {
        case MpegHeaderCheck::Ok: break;
        case MpegHeaderCheck::BadSync: diagnostic("fff"); return kProbeRecognised;
        case MpegHeaderCheck::BadLayer: diagnostic("layer"); return kProbeRecognised;
        case MpegHeaderCheck::BadRate: diagnostic("rate"); return kProbeRecognised;
    }

    const uint32_t a2 = uint32_t(second.kbps) * 125;
    if ((first.raw & 0xFFFFFDDFu) != (second.raw & 0xFFFFFDDFu) && rd32(r, kFmtBytesPerSec) < a2)
        wr32(r, kFmtBytesPerSec, a2);
    const uint32_t length2 = MpegFrameLength(first.version, first.layer, second.kbps, first.rate, second.padding);
    const double seconds_per_frame = double(length2) / a2;

    const bool mono = first.channel_mode == 3;
    const size_t at = (first.version == 0 ? (mono ? 17 : 32) : (mono ? 9 : 17)) + (first.crc ? 2 : 0);
    if (body_read < at + 12 || std::memcmp(body.data() + at, "Xing", 4) != 0) return kProbeRecognised;

    const uint32_t flags = be32(body.data() + at + 4);
    if (!(flags & 1)) message_box({"FLAG ERROR", "Xing", false, MbIcon::None});
    if (!(flags & 2)) message_box({"FLAG ERROR", "Xing", false, MbIcon::None});
    const uint32_t frames = be32(body.data() + at + 8);
    const double duration = double(frames) * seconds_per_frame;
    // No frames, or a count that gives no sensible rate, leaves the constant-rate figure.
    if (duration > 0) {
        const double average = std::floor(double(SourceInfo.DataTotal) / duration);
        if (average >= 1 && average <= double(std::numeric_limits<uint32_t>::max()))
            wr32(r, kFmtBytesPerSec, uint32_t(average));
    }
    return kProbeRecognised;
}

int ProbeOggStream(uint64_t offset) {
    if (!SourceFile || SourceFile->seek(int64_t(offset), SEEK_SET) < 0) return kProbeNotThisKind;
    uint8_t page[52];
    if (!read_exact(page, 4) || std::memcmp(page, "OggS", 4) != 0) return kProbeNotThisKind;
    if (!read_exact(page + 4, sizeof page - 4)) return kProbeNotThisKind;
    // Only a first page holding exactly the Vorbis identification packet is Ogg Vorbis (not Opus, FLAC...).
    if (page[26] != 1 || std::memcmp(page + 28, "\x01vorbis", 7) != 0) return kProbeNotThisKind;

    const uint16_t channels = page[39];
    const uint32_t rate = le32(page + 40);
    const int32_t nominal = int32_t(le32(page + 48));
    if (AllocateFormatRecord(28) == 0) return kProbeFailed;
    std::vector<uint8_t>& r = SourceFormat;
    wr16(r, kFmtTag, kTagOggVorbis);
    wr16(r, kFmtChannels, channels);
    wr32(r, kFmtRate, rate);
    // A negative nominal rate means "not set", like 0.
    wr32(r, kFmtBytesPerSec, nominal > 0 ? uint32_t(nominal / 8) : 0);
    wr16(r, kFmtBlockAlign, uint16_t(channels * 2));
    wr16(r, kFmtBits, 16);
    wr16(r, kFmtCbSize, 8);
    wr16(r, 18, 0);
    wr32(r, 20, 0x20001214);
    wr32(r, 24, 0x20001031);
    return kProbeRecognised;
}

}  // namespace dl
