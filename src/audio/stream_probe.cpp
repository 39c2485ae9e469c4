#include "audio/stream_probe.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <algorithm>
#include <string>
#include <vector>

#include "audio/source.h"
#include "platform/wave_format.h"
#include "resources/messages.h"
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

void diagnostic(const std::string& text) { ShowDiagnostic(text); }

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

// What an encoder's header frame ("Xing" for a varying rate, "Info" for a constant one) says of the
// sound: the frame holds none itself, and LAME (or libavcodec) notes in it the samples of delay it
// put in front and of padding behind, which decoders leave out.
struct EncoderInfo {
    bool header_frame = false;
    int delay_and_padding = 0;
    uint32_t frames = 0;  // the frames of sound after the header frame, when it says (0: not given)
};

EncoderInfo read_encoder_info(const std::vector<uint8_t>& body, size_t body_read, size_t at) {
    EncoderInfo info;
    if (body_read < at + 8 || (std::memcmp(&body[at], "Xing", 4) != 0 && std::memcmp(&body[at], "Info", 4) != 0))
        return info;
    info.header_frame = true;
    const uint32_t flags = be32(&body[at + 4]);
    if ((flags & 1) && body_read >= at + 12) info.frames = be32(&body[at + 8]);
    const size_t lame = at + 8 + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    if (body_read >= lame + 24 && (std::memcmp(&body[lame], "LAME", 4) == 0 ||
                                   std::memcmp(&body[lame], "Lavc", 4) == 0 || std::memcmp(&body[lame], "Lavf", 4) == 0)) {
        const uint8_t* d = &body[lame + 21];
        info.delay_and_padding = ((d[0] << 4) | (d[1] >> 4)) + (((d[1] & 0x0F) << 8) | d[2]);
    }
    return info;
}

int samples_per_frame(const MpegHeader& h) { return h.layer == 1 ? 384 : (h.layer == 3 && h.version != 0) ? 576 : 1152; }

// Counts the frames of the stream: walked to its end they give its exact length (and so the average
// rate, whether it varies or not). Files too large to walk quickly, and streams whose frames do not
// reach their end, keep the estimate of their headers.
void measure_mpeg_frames(const MpegHeader& first, const EncoderInfo& info) {
    if (first.rate == 0) return;
    // The encoder counted its frames already: no walk needed, whatever the file's size (a count no
    // file of this size can hold, every frame being 24 bytes at least, is not believed).
    if (info.frames > 0 && info.frames <= SourceInfo.DataTotal / 24) {
        const int64_t samples = int64_t(info.frames) * samples_per_frame(first) - info.delay_and_padding;
        if (samples > 0) SourceInfo.ExactSeconds = double(samples) / first.rate;
        return;
    }
    constexpr uint64_t kScanLimit = 64ull << 20;
    const uint64_t start = SourceInfo.DataStart, end = start + SourceInfo.DataTotal;
    if (SourceInfo.DataTotal > kScanLimit || first.rate == 0) return;
    uint64_t pos = start, frames = 0;
    uint8_t b[4];
    while (pos + 4 <= end && SourceFile->seek(int64_t(pos), SEEK_SET) >= 0 && read_exact(b, 4)) {
        MpegHeader h;
        if (ParseMpegHeader(b, h) != MpegHeaderCheck::Ok || h.version != first.version || h.layer != first.layer ||
            h.rate != first.rate)
            break;
        ++frames;
        pos += std::max<uint32_t>(MpegFrameLength(h.version, h.layer, h.kbps, h.rate, h.padding), 4);
    }
    // Only a walk to the end (the last frame may be cut short) gives a length: the sound of the
    // frames but the encoder's header, less its delay and padding, as a decoder gives it.
    if (pos + 4 <= end) return;
    const int64_t samples = int64_t(frames - (info.header_frame && frames > 0 ? 1 : 0)) * samples_per_frame(first) -
                            info.delay_and_padding;
    if (samples > 0) SourceInfo.ExactSeconds = double(samples) / first.rate;
}

// The record of an MPEG stream from its first frame header, `length` bytes long.
void write_mpeg_record(std::vector<uint8_t>& r, const MpegHeader& first, uint32_t length) {
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
}

// A "Xing" header's frame count gives a varying rate's average over the stream.
void apply_xing_rate(std::vector<uint8_t>& r, const uint8_t* xing, double seconds_per_frame) {
    const uint32_t flags = be32(xing + 4);
    if (!(flags & 1)) ShowDiagnostic("FLAG ERROR", "Xing", false);
    if (!(flags & 2)) ShowDiagnostic("FLAG ERROR", "Xing", false);
    const uint32_t frames = be32(xing + 8);
    const double duration = double(frames) * seconds_per_frame;
    // No frames, or a count that gives no sensible rate, leaves the constant-rate figure.
    if (duration > 0) {
        const double average = std::floor(double(SourceInfo.DataTotal) / duration);
        if (average >= 1 && average <= double(std::numeric_limits<uint32_t>::max()))
            wr32(r, kFmtBytesPerSec, uint32_t(average));
    }
}

}  // namespace

void SetStreamLength(uint64_t n) {
    SourceInfo.DataTotal = SourceInfo.DataRemaining = uint32_t(std::min<uint64_t>(n, 0xFFFFFFFFu));
}

uint32_t AverageByteRate(double seconds) {
    if (!(seconds > 0)) return 0;
    const double average = std::floor(double(SourceInfo.DataTotal) / seconds + 0.5);
    return average >= 1 && average <= double(std::numeric_limits<uint32_t>::max()) ? uint32_t(average) : 0;
}

uint64_t TrailingTagBytes(RiffFile& f) {
    const uint64_t size = f.file_size();
    uint64_t tags = 0;
    uint8_t b[32];
    if (size >= 128 && f.seek(int64_t(size - 128), SEEK_SET) >= 0 && f.read(b, 3) == 3 && std::memcmp(b, "TAG", 3) == 0)
        tags = 128;
    // An APE tag ends in a 32-byte footer that gives its size (without the header it may have).
    if (size >= tags + 32 && f.seek(int64_t(size - tags - 32), SEEK_SET) >= 0 && f.read(b, 32) == 32 &&
        std::memcmp(b, "APETAGEX", 8) == 0) {
        const uint64_t ape = uint64_t(le32(b + 12)) + ((le32(b + 20) & 0x80000000u) ? 32 : 0);
        if (ape <= size - tags) tags += ape;
    }
    return tags;
}

namespace {

// What of a stream's first packet must stay the same for a chain to play on: the codec, and for
// Vorbis, Opus and FLAC the channels and the rate (and FLAC's bits).
std::string link_format(const uint8_t* head, size_t n) {
    if (n >= 16 && head[0] == 1 && std::memcmp(head + 1, "vorbis", 6) == 0)
        return std::string("V", 1) + std::string(reinterpret_cast<const char*>(head + 11), 5);
    if (n >= 10 && std::memcmp(head, "OpusHead", 8) == 0) return std::string("O", 1) + char(head[9]);
    if (n >= 31 && std::memcmp(head, "\x7F" "FLAC", 5) == 0)
        return std::string("F", 1) + std::string(reinterpret_cast<const char*>(head + 27), 3) + char(head[30] & 0xF0);
    return std::string(reinterpret_cast<const char*>(head), std::min<size_t>(n, 8));
}

}  // namespace

OggExtent MeasureOggStream(RiffFile& f, uint64_t offset, uint32_t serial, int header_packets) {
    OggExtent out;
    std::string first_format;
    const uint64_t size = f.file_size();
    constexpr uint64_t kWalkLimit = 64ull << 20;
    const bool walk_all = size - offset <= kWalkLimit;
    int packets = 0;
    uint64_t pos = offset;
    int64_t link_granule = -1;
    uint64_t link_pre_skip = 0;
    uint8_t h[27], lacing[255];
    // Page by page: the header packets (the comments possibly spread over many pages), and
    // in a file small enough the last granule position of every link of a chain.
    while (pos + 27 <= size && (walk_all || packets < header_packets)) {
        const uint64_t page = pos;
        if (f.seek(int64_t(pos), SEEK_SET) < 0 || f.read(h, 27) != 27 || std::memcmp(h, "OggS", 4) != 0) break;
        const int segments = h[26];
        if (f.read(lacing, segments) != segments) break;
        uint64_t body = 0;
        for (int i = 0; i < segments; ++i) {
            body += lacing[i];
            if (packets < header_packets && lacing[i] < 255 && le32(h + 14) == serial) ++packets;
        }
        // A page that begins a stream: its head says the link's format, and an Opus head its pre-skip.
        uint8_t head[32];
        const bool begins = h[5] & 2;
        const int64_t head_bytes = begins ? f.read(head, int64_t(std::min<uint64_t>(body, sizeof head))) : 0;
        const bool opus_head = begins && body >= 19 && head_bytes >= 12 && std::memcmp(head, "OpusHead", 8) == 0;
        const std::string format = begins && head_bytes > 0 ? link_format(head, size_t(head_bytes)) : std::string();
        if (page == offset) first_format = format;
        pos += 27 + uint64_t(segments) + body;
        if (packets == header_packets && out.header_bytes == 0) out.header_bytes = pos - offset;
        const int64_t granule = int64_t(le32(h + 6) | uint64_t(le32(h + 10)) << 32);
        // A page that begins a stream closes the link before it.
        if (begins && link_granule > 0 && page > offset) {
            out.last_granule += link_granule;
            out.opus_pre_skip += link_pre_skip;
            link_granule = -1;
            // Play ends where the format changes: the stream is the links before.
            if (format != first_format) {
                out.played_bytes = page - offset;
                return out;
            }
        }
        if (begins) link_pre_skip = opus_head ? le16(head + 10) : 0;
        if (granule >= 0) link_granule = granule;
    }
    if (walk_all) {
        if (link_granule > 0) out.last_granule += link_granule, out.opus_pre_skip += link_pre_skip;
        return out;
    }
    out.opus_pre_skip = link_pre_skip;  // the first link's: only the last granule is looked for
    // A long file: the granule position of its last page, found in the last 64 KiB.
    const uint64_t tail = std::min<uint64_t>(size - offset, 65536);
    std::vector<uint8_t> t(tail);
    if (f.seek(int64_t(size - tail), SEEK_SET) < 0 || f.read(t.data(), int64_t(tail)) != int64_t(tail)) return out;
    for (size_t i = tail >= 27 ? tail - 27 : 0; i-- > 0;) {
        if (std::memcmp(&t[i], "OggS", 4) != 0 || le32(&t[i] + 14) != serial) continue;
        const int64_t granule = int64_t(le32(&t[i] + 6) | uint64_t(le32(&t[i] + 10)) << 32);
        if (granule > 0) {
            out.last_granule = uint64_t(granule);
            break;
        }
    }
    return out;
}

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

ProbeResult ProbeMpegStream(bool whole_file) {
    if (!SourceFile) return kProbeNotThisKind;
    const uint64_t start = SourceFile->tell();
    uint8_t b[4];
    if (!read_exact(b, 4)) return kProbeNotThisKind;
    if (b[0] == 'I' && b[1] == 'D' && b[2] == '3' && !skip_tag(start, b)) return kProbeNotThisKind;

    MpegHeader first;
    if (ParseMpegHeader(b, first) != MpegHeaderCheck::Ok) return kProbeNotThisKind;
    if (AllocateFormatRecord(30) != Result::Done) return kProbeFailed;
    if (whole_file) {
        // The sound is what lies between the tags: a picture in the tag in front is no sound.
        SourceInfo.DataStart = SourceFile->tell() - 4;
        const uint64_t end = SourceFile->file_size() - TrailingTagBytes(*SourceFile);
        SetStreamLength(end > SourceInfo.DataStart ? end - SourceInfo.DataStart : 0);
        SourceFile->seek(int64_t(SourceInfo.DataStart + 4), SEEK_SET);
    }

    // The standard frame length already counts a CRC, so frames with one need no correction.
    const uint32_t length = MpegFrameLength(first.version, first.layer, first.kbps, first.rate, first.padding);
    std::vector<uint8_t>& r = SourceFormat;
    write_mpeg_record(r, first, length);

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

    // Whatever the headers say, a stream's frames tell its length where they can be counted.
    const bool mono = first.channel_mode == 3;
    const size_t at = (first.version == 0 ? (mono ? 17 : 32) : (mono ? 9 : 17)) + (first.crc ? 2 : 0);
    const EncoderInfo info = read_encoder_info(body, body_read, at);
    auto unmeasured = [&] {
        if (whole_file) measure_mpeg_frames(first, info);
        return kProbeRecognised;
    };
    uint8_t b2[4];
    if (!read_exact(b2, 4)) {
        diagnostic("read");
        return unmeasured();
    }
    MpegHeader second;
    switch (ParseMpegHeader(b2, second)) {
        case MpegHeaderCheck::Ok: break;
        case MpegHeaderCheck::BadSync: diagnostic("fff"); return unmeasured();
        case MpegHeaderCheck::BadLayer: diagnostic("layer"); return unmeasured();
        case MpegHeaderCheck::BadRate: diagnostic("rate"); return unmeasured();
    }

    const uint32_t a2 = uint32_t(second.kbps) * 125;
    if ((first.raw & 0xFFFFFDDFu) != (second.raw & 0xFFFFFDDFu) && rd32(r, kFmtBytesPerSec) < a2)
        wr32(r, kFmtBytesPerSec, a2);
    const uint32_t length2 = MpegFrameLength(first.version, first.layer, second.kbps, first.rate, second.padding);
    const double seconds_per_frame = double(length2) / a2;

    if (body_read >= at + 12 && std::memcmp(body.data() + at, "Xing", 4) == 0)
        apply_xing_rate(r, body.data() + at, seconds_per_frame);
    // The frames themselves, where they can be counted, are exact.
    return unmeasured();
}

ProbeResult ProbeOggStream(uint64_t offset) {
    if (!SourceFile || SourceFile->seek(int64_t(offset), SEEK_SET) < 0) return kProbeNotThisKind;
    uint8_t page[52];
    if (!read_exact(page, 4) || std::memcmp(page, "OggS", 4) != 0) return kProbeNotThisKind;
    if (!read_exact(page + 4, sizeof page - 4)) return kProbeNotThisKind;
    // Only a first page holding exactly the Vorbis identification packet is Ogg Vorbis (not Opus, FLAC...).
    if (page[26] != 1 || std::memcmp(page + 28, "\x01vorbis", 7) != 0) return kProbeNotThisKind;

    const uint16_t channels = page[39];
    const uint32_t rate = le32(page + 40);
    const int32_t nominal = int32_t(le32(page + 48));
    if (AllocateFormatRecord(28) != Result::Done) return kProbeFailed;
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

    // The whole file is the stream; its exact length is in the granule positions of its pages.
    SourceInfo.DataStart = offset;
    SetStreamLength(SourceFile->file_size() - offset);
    const OggExtent extent = MeasureOggStream(*SourceFile, offset, le32(page + 14));
    SourceInfo.HeaderBytes = uint32_t(std::min<uint64_t>(extent.header_bytes, 0xFFFFFFFFu));
    if (extent.played_bytes) SetStreamLength(extent.played_bytes);
    if (rate > 0 && extent.last_granule > 0) {
        SourceInfo.ExactSeconds = double(extent.last_granule) / rate;
        // Without a nominal rate the stream is read and sized by its average one.
        if (nominal <= 0) wr32(r, kFmtBytesPerSec, AverageByteRate(SourceInfo.ExactSeconds));
    }
    return kProbeRecognised;
}

}  // namespace dl
