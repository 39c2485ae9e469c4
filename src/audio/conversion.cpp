#include "audio/conversion.h"

#include <algorithm>
#include <memory>
#include <new>

#include "platform/converter.h"
#include "platform/wave_format.h"
#include "resources/messages.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"

namespace dl {

namespace {

// The least a streaming read of compressed bytes takes.
constexpr uint32_t kLeastChunk = 4096;

void free_input() { std::vector<uint8_t>().swap(ConversionInput); }

}  // namespace

int ShowMultimediaError(int code, const char* caption) {
    const char* name = nullptr;
    switch (code) {
        case 5: name = "MMSYSERR_INVALHANDLE"; break;
        case 7: name = "MMSYSERR_NOMEM"; break;
        case 10: name = "MMSYSERR_INVALFLAG"; break;
        case 11: name = "MMSYSERR_INVALPARAM"; break;
        case 512: name = "ACMERR_NOTPOSSIBLE"; break;
        default: return 0;
    }
    ShowDiagnostic(name, caption);
    return 1;
}

uint32_t Layer3ConvertedFloor(uint32_t converted_size, uint32_t chunk_size, int khz) {
    if (chunk_size == 0) return converted_size;
    const uint32_t ratio = converted_size / chunk_size;
    const uint64_t floor = khz >= 48 ? (ratio < 49 ? 49ull * chunk_size : 0) : (ratio < 45 ? 45ull * chunk_size : 0);
    if (floor == 0) return converted_size;
    return uint32_t(std::min<uint64_t>(floor, 0xFFFFFFFFull));
}

uint32_t SliceBytes(uint32_t a, uint32_t r, uint16_t tag, uint32_t s) {
    // A header's byte rate can be anything: the product saturates rather than wraps.
    auto fit = [](double v) { return v >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(v); };
    if (a % 11025 == 0) return fit(double(a / 11025) * s);
    if (r == 12000) return fit(double(a) * 0.000125 * s + 0.5);
    // A layer-3 byte rate that happens to divide by 8000 still counts in its rate's family.
    if (a % 8000 == 0 && tag != kTagMpegLayer3) return fit(double(a / 8000) * s);
    if (r % 11025 == 0) return fit(double(a) / 11025 * s + 0.5);
    return fit(double(a) * 0.000125 * s + 0.5);
}

bool OpenConversion(std::vector<uint8_t>& record) {
    // The decoders are linked in, so there is no library to bind and no entry point to miss.
    std::unique_ptr<Converter> stream;
    const int rc = Converter::open(record, stream);
    ShowMultimediaError(rc, "acm_open");
    if (rc != kConvertOk || !stream) return false;  // unavailable: the device gets the record as it is
    if (DecodedSoundObserver)
        stream->hand_out_wide([](const float* samples, size_t count) {
            if (DecodedSoundObserver) DecodedSoundObserver(samples, count);
        });

    const uint16_t tag = SourceInfo.format_tag;
    const uint16_t channels = rd16(record, kFmtChannels);
    const uint32_t rate = rd32(record, kFmtRate);
    const uint16_t source_align = rd16(record, kFmtBlockAlign);

    PlaybackFormat.assign(18, 0);
    wr16(PlaybackFormat, kFmtTag, kTagPcm);
    wr16(PlaybackFormat, kFmtChannels, channels);
    wr32(PlaybackFormat, kFmtRate, rate);
    wr16(PlaybackFormat, kFmtBlockAlign, uint16_t(2 * channels));
    wr16(PlaybackFormat, kFmtBits, 16);
    wr32(PlaybackFormat, kFmtBytesPerSec, 2u * channels * rate);
    SourceInfo.ChannelLayout = channels == 1 ? 1 : 3;
    SourceInfo.output_bytes_per_second = 2u * channels * rate;

    uint32_t q = std::min(SourceInfo.DataRemaining, ChunkSize);
    ConvertedSize = 0;
    // Memory mode converts the whole stream from its start at once: what it can hold at most,
    // however long its headers say it is.
    if (BufferCount == 1) ShowMultimediaError(stream->size_for_stream(q, ConvertedSize), "acm_size_def");
    else ShowMultimediaError(stream->size_for_source(q, ConvertedSize), "acm_size_def");
    if (tag == kTagMpegLayer3) ConvertedSize = Layer3ConvertedFloor(ConvertedSize, ChunkSize, SourceInfo.khz);

    if (BufferCount == 1) {
        const double ratio = ConvertedSize ? double(q) / ConvertedSize : 0.0;
        const uint64_t limit = uint64_t(Settings.MemSize) << 20;
        if (limit < ConvertedSize) {
            ConvertedSize = uint32_t(limit);
            if (is_block_rate_tag(tag)) {  // the source count follows the size ratio
                ChunkSize = uint32_t(ConvertedSize * ratio);
            } else {
                q = 0;
                ShowMultimediaError(stream->size_for_destination(ConvertedSize, q), "acm_size_def");
                ChunkSize = q;
            }
            if (source_align > 1) {
                ChunkSize -= ChunkSize % source_align;
                if (ChunkSize == 0) ChunkSize = source_align;
            }
            q = ChunkSize;
        }
        BlockBytes = SliceBytes(SourceInfo.output_bytes_per_second, rate, kTagPcm, Settings.deltatime);
    } else {
        // Streaming: every buffer holds one time slice of sound, whatever the compression; the file
        // is read a chunk at a time until it has one, and what decodes beyond waits in the stream.
        const uint32_t frame = 2u * channels;
        const uint32_t slice = SliceBytes(SourceInfo.output_bytes_per_second, rate, kTagPcm, Settings.deltatime);
        ConvertedSize = std::max(slice - slice % frame, frame);
        // A byte rate that is unknown or tiny must not make the reads a few bytes each, nor one
        // that is absurd make them larger than a slice of the densest coding (64-bit float) needs.
        const uint32_t unit = std::max<uint32_t>(source_align, 1);
        const uint64_t most = (uint64_t(ConvertedSize) * 4 + unit - 1) / unit * unit;
        if (ChunkSize > most) ChunkSize = uint32_t(std::max<uint64_t>(most, kLeastChunk));
        if (ChunkSize < kLeastChunk) ChunkSize = (kLeastChunk + unit - 1) / unit * unit;
    }
    record = PlaybackFormat;
    ConversionStream = std::move(stream);
    return true;
}

bool PrepareConversionInput(uint32_t source_bytes) {
    if (!ConversionInput.empty()) {
        // Left over from a play that did not clean up: refuse this play rather than reuse it.
        ShowDiagnostic("開放忘れ", "", false);
        return false;
    }
    try {
        ConversionInput.assign(std::max<uint32_t>(source_bytes, 1), 0);
    } catch (const std::bad_alloc&) {
        ShowDiagnostic("ACM用memory", "", false);
        CloseConversion();
        return false;
    }
    return true;
}

SliceFill ConvertSlice(int slot, uint64_t quiet_limit) {
    SliceFill r;
    uint8_t* dst = SampleBuffers[size_t(slot)];
    Converter* stream = ConversionStream.get();
    if (!stream || !dst || ConversionInput.empty()) return r;
    const uint32_t capacity = ConvertedSize;
    auto convert = [&](const uint8_t* src, uint32_t n) {
        uint32_t used = 0;
        ShowMultimediaError(stream->convert(src, n, dst + r.bytes, capacity - r.bytes, used), "acm_convert");
        r.bytes += used;
        return used;
    };
    if (stream->pending_bytes() > 0) convert(nullptr, 0);
    uint64_t quiet = 0;  // file bytes read since sound last came
    while (r.bytes < capacity && SourceInfo.DataRemaining > 0 && !stream->format_changed() && quiet < quiet_limit) {
        const uint32_t n = std::min({SourceInfo.DataRemaining, ChunkSize, uint32_t(ConversionInput.size())});
        const int64_t got = SourceFile ? SourceFile->read(ConversionInput.data(), n) : -1;
        if (got != int64_t(n)) {
            r.short_read = true;
            SourceInfo.DataRemaining = 0;
            break;
        }
        SourceInfo.DataRemaining -= n;
        r.file_bytes += n;
        quiet = convert(ConversionInput.data(), n) > 0 ? 0 : quiet + n;
    }
    // The stream's last bytes are in: what the decoder held back for want of them comes now.
    if (SourceInfo.DataRemaining == 0 && !stream->format_changed()) {
        ShowMultimediaError(stream->end_input(), "acm_convert");
        if (r.bytes < capacity) convert(nullptr, 0);
    }
    // A stream that changes its layout ends where the change is.
    if (stream->format_changed()) SourceInfo.DataRemaining = 0;
    return r;
}

bool ConversionPending() { return ConversionStream && ConversionStream->pending_bytes() > 0; }

uint32_t ConvertOnce(uint32_t n, int slot) {
    std::vector<uint8_t>& out = SampleStorage[size_t(slot)];
    Converter* stream = ConversionStream.get();
    if (!stream || ConversionInput.empty() || out.capacity() == 0) return 0;
    n = std::min<uint32_t>(n, uint32_t(ConversionInput.size()));
    // The slot grows as sound comes, a piece of the source at a time, up to ConvertedSize: what it
    // holds is the sound, not what a header promised.
    const uint32_t frame = 2u * stream->channels();
    const size_t most = ConvertedSize - ConvertedSize % frame;
    out.clear();
    size_t used = 0;
    auto take = [&](const uint8_t* src, uint32_t len) {
        uint32_t got = 0;
        ShowMultimediaError(stream->convert(src, len, out.data() + used, uint32_t(out.size() - used), got),
                            "acm_convert");
        used += got;
        while (stream->pending_bytes() > 0 && out.size() < most) {
            const size_t want = size_t(std::min<uint64_t>(most, used + stream->pending_bytes()));
            if (want > out.capacity()) out.reserve(std::min(most, std::max(want, out.capacity() / 2 * 3)));
            out.resize(want);
            ShowMultimediaError(stream->convert(nullptr, 0, out.data() + used, uint32_t(out.size() - used), got),
                                "acm_convert");
            if (got == 0) break;
            used += got;
        }
    };
    constexpr uint32_t kPiece = 1u << 16;
    for (uint32_t at = 0; at < n && !stream->format_changed() && !(out.size() >= most && ConversionPending());
         at += kPiece)
        take(ConversionInput.data() + at, std::min(kPiece, n - at));
    // The stream's last block, or the end of its layout: what the converter still holds goes now.
    if (SourceInfo.DataRemaining == 0 || stream->format_changed()) {
        if (!stream->format_changed()) ShowMultimediaError(stream->end_input(), "acm_convert");
        take(nullptr, 0);
    }
    out.resize(used);
    SampleBuffers[size_t(slot)] = out.data();
    return uint32_t(used);
}

uint32_t ExpectedConvertedBytes(uint32_t most) {
    const SourceInfoRecord& s = SourceInfo;
    const double seconds = s.ExactSeconds > 0              ? s.ExactSeconds
                           : s.source_bytes_per_second > 0 ? double(s.DataTotal) / s.source_bytes_per_second
                                                           : 0.0;
    const double bytes = seconds * s.output_bytes_per_second;
    if (!(bytes > 0) || bytes >= most) return most;
    // A little over, so that rounding and a decoder's last frame need no second allocation.
    return uint32_t(std::min<double>(most, bytes * 1.0625 + 65536));
}

bool ConversionFormatChanged() { return ConversionStream && ConversionStream->format_changed(); }

void CloseConversion() {
    if (ConversionStream) PlayedStreamDamage = ConversionStream->damage();
    ConversionStream.reset();
    free_input();
}

}  // namespace dl
