#include "platform/decode_flac.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstring>

#include "platform/decode_pcm.h"
#include "platform/ogg_page_walker.h"
#include "platform/wave_format.h"

namespace dl::decode {

namespace {

// A frame's header, subframe headers and footer beyond its samples.
constexpr uint64_t kFrameOverhead = 64;
// No frame of the one or two channels decoded here comes near this.
constexpr uint64_t kMostFrameBytes = 1u << 20;
// More sound lost in one place than this is a frame number that damage made, not a gap.
constexpr uint64_t kMostLostSeconds = 60;

int16_t to_16(FLAC__int32 s, unsigned bits) {
    if (bits == 16) return int16_t(s);
    // Wider samples round as the wide PCM of a WAVE file does; narrower ones are scaled up.
    if (bits > 16) return narrow_to_16(int32_t(uint32_t(s) << (32 - bits)));
    return int16_t(uint32_t(s) << (16 - bits));
}

// libFLAC over a queue of bytes it pulls from. It is asked for a frame only when the queue holds
// one whole: as many bytes as the largest frame the stream can have, or all there is once the
// caller knows the bytes end a frame (an Ogg packet, the end of the stream).
class FlacFrames {
public:
    FlacFrames(const uint8_t* stream_info, const FlacStreamInfo& info, unsigned channels)
        : rate_(info.rate), channels_(channels), fixed_block_(info.min_block == info.max_block ? info.max_block : 0) {
        frame_bound_ = std::min<uint64_t>(uint64_t(info.max_block) * channels * (info.bits + 1) / 8 + kFrameOverhead,
                                          kMostFrameBytes);
        dec_ = FLAC__stream_decoder_new();
        if (!dec_ || FLAC__stream_decoder_init_stream(dec_, read_cb, nullptr, tell_cb, nullptr, nullptr, write_cb,
                                                      nullptr, error_cb, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
            stopped_ = true;
            return;
        }
        // The stream as the library expects it: the marker and the STREAMINFO block, marked last.
        static const uint8_t head[8] = {'f', 'L', 'a', 'C', 0x80, 0, 0, uint8_t(kFlacStreamInfoBytes)};
        push(head, sizeof head);
        push(stream_info, kFlacStreamInfoBytes);
        if (!FLAC__stream_decoder_process_until_end_of_metadata(dec_) || starved_) stopped_ = true;
    }
    ~FlacFrames() {
        if (dec_) FLAC__stream_decoder_delete(dec_);
    }
    FlacFrames(const FlacFrames&) = delete;
    FlacFrames& operator=(const FlacFrames&) = delete;

    void push(const uint8_t* p, size_t n) {
        if (qpos_ > 0 && qpos_ >= queue_.size() / 2) {
            queue_.erase(queue_.begin(), queue_.begin() + std::ptrdiff_t(qpos_));
            qpos_ = 0;
        }
        queue_.insert(queue_.end(), p, p + n);
        received_ += n;
    }

    // Decodes the frames the queue holds whole; `all` when every byte there ends a frame.
    void run(bool all, std::vector<int16_t>& out) {
        out_ = &out;
        while (!stopped_) {
            const uint64_t pos = decode_position();
            const uint64_t waiting = received_ - std::min(pos, received_);
            if (waiting == 0 || (!all && waiting < frame_bound_)) break;
            const FLAC__StreamDecoderState before = FLAC__stream_decoder_get_state(dec_);
            if (before == FLAC__STREAM_DECODER_END_OF_STREAM) break;
            const size_t made = out.size();
            starved_ = false;
            FLAC__stream_decoder_process_single(dec_);
            if (stopped_) break;
            // A frame that outran the bytes (damage, or a frame larger than the stream allows):
            // what was read of it is dropped and the search for the next frame goes on.
            if (starved_ && !FLAC__stream_decoder_flush(dec_)) stopped_ = true;
            const FLAC__StreamDecoderState after = FLAC__stream_decoder_get_state(dec_);
            if (after == FLAC__STREAM_DECODER_MEMORY_ALLOCATION_ERROR || after == FLAC__STREAM_DECODER_ABORTED ||
                after == FLAC__STREAM_DECODER_UNINITIALIZED)
                stopped_ = true;
            if (after == FLAC__STREAM_DECODER_END_OF_STREAM || starved_) break;
            if (out.size() == made && decode_position() == pos) break;  // nothing moved: wait for more
        }
        out_ = nullptr;
    }

    void end(std::vector<int16_t>& out) {
        at_end_ = true;
        run(true, out);
    }

    bool changed() const { return changed_; }
    bool stopped() const { return stopped_; }
    const StreamDamage& damage() const { return damage_; }
    uint64_t frame_bound() const { return frame_bound_; }
    void stop_for_change() { changed_ = stopped_ = true; }
    void keep_wide(std::vector<float>* wide) { wide_ = wide; }
    // Bytes were passed over here (between the pages of FLAC in Ogg).
    void note_gap() { damage_.note(emitted_, 0, 0); }

private:
    // Bytes the library has finished with (those it holds unread are not counted).
    uint64_t decode_position() const {
        FLAC__uint64 p = 0;
        return FLAC__stream_decoder_get_decode_position(dec_, &p) ? p : handed_;
    }

    static FLAC__StreamDecoderReadStatus read_cb(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                                 void* self) {
        auto* d = static_cast<FlacFrames*>(self);
        const size_t n = std::min(*bytes, d->queue_.size() - d->qpos_);
        *bytes = n;
        if (n == 0) {
            if (d->at_end_) return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
            d->starved_ = true;
            return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
        }
        std::memcpy(buffer, d->queue_.data() + d->qpos_, n);
        d->qpos_ += n;
        d->handed_ += n;
        return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }

    static FLAC__StreamDecoderTellStatus tell_cb(const FLAC__StreamDecoder*, FLAC__uint64* at, void* self) {
        *at = static_cast<FlacFrames*>(self)->handed_;
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__StreamDecoderWriteStatus write_cb(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                   const FLAC__int32* const buffer[], void* self) {
        auto* d = static_cast<FlacFrames*>(self);
        const FLAC__FrameHeader& h = frame->header;
        const unsigned bits = h.bits_per_sample;
        // A frame of another layout would reach the device in the wrong one.
        if (h.channels != d->channels_ || h.sample_rate != d->rate_ || bits < 4 || bits > 32 || !d->out_) {
            d->stop_for_change();
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        std::vector<int16_t>& out = *d->out_;
        d->keep_time(h, out);
        const size_t at = out.size();
        out.resize(at + size_t(h.blocksize) * h.channels);
        const unsigned channels = h.channels;
        int16_t* dst = out.data() + at;
        for (unsigned c = 0; c < channels; ++c) {
            const FLAC__int32* from = buffer[c];
            int16_t* to = dst + c;
            if (bits == 16)
                for (unsigned i = 0; i < h.blocksize; ++i) to[size_t(i) * channels] = int16_t(from[i]);
            else
                for (unsigned i = 0; i < h.blocksize; ++i) to[size_t(i) * channels] = to_16(from[i], bits);
        }
        if (d->wide_) {
            const float scale = float(1.0 / double(uint64_t(1) << (bits - 1)));
            const size_t w = d->wide_->size();
            d->wide_->resize(w + size_t(h.blocksize) * channels);
            float* wide = d->wide_->data() + w;
            for (unsigned c = 0; c < channels; ++c)
                for (unsigned i = 0; i < h.blocksize; ++i) wide[size_t(i) * channels + c] = float(buffer[c][i]) * scale;
        }
        d->emitted_ += h.blocksize;
        const bool by_sample = h.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER;
        d->next_sample_ = (by_sample ? h.number.sample_number : uint64_t(h.number.frame_number) * d->fixed_block_) +
                          h.blocksize;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    // Lost sync and damaged frames: the library resynchronises (a frame whose check fails comes
    // out as silence of its length). Each is a place of damage.
    static void error_cb(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self) {
        auto* d = static_cast<FlacFrames*>(self);
        // A frame the end of the input cut is where the file ends, which the play says itself.
        if (d->at_end_) return;
        d->damage_.note(d->emitted_, 0, 0);
    }

    // Frames carry the place of their first sample: frames lost before this one come back as
    // silence, so that it keeps its time. A place earlier than expected starts a new count (the next
    // link of a chain).
    void keep_time(const FLAC__FrameHeader& h, std::vector<int16_t>& out) {
        // A stream of one block size numbers its frames rather than their samples.
        const bool by_sample = h.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER;
        if (!by_sample && fixed_block_ == 0) return;
        const uint64_t at = by_sample ? h.number.sample_number : uint64_t(h.number.frame_number) * fixed_block_;
        if (at <= next_sample_ || emitted_ == 0) return;
        // A frame number that damage made implausible is not sound lost.
        const uint64_t lost = at - next_sample_;
        if (lost > kMostLostSeconds * uint64_t(rate_)) return;
        damage_.note(emitted_, 0, lost);
        out.resize(out.size() + size_t(lost) * channels_, 0);
        if (wide_) wide_->resize(wide_->size() + size_t(lost) * channels_, 0.f);
        emitted_ += lost;
    }

    FLAC__StreamDecoder* dec_ = nullptr;
    uint32_t rate_;
    unsigned channels_;
    uint32_t fixed_block_;  // the one block size of the stream, 0 when it varies
    uint64_t frame_bound_ = 0;
    std::vector<uint8_t> queue_;
    size_t qpos_ = 0;
    uint64_t received_ = 0;  // bytes pushed so far
    uint64_t handed_ = 0;    // of them, taken by the library
    std::vector<int16_t>* out_ = nullptr;
    std::vector<float>* wide_ = nullptr;  // the samples at the width they were coded in
    uint64_t emitted_ = 0;      // sample frames decoded so far
    uint64_t next_sample_ = 0;  // where the frame after the last one should start
    StreamDamage damage_;
    bool starved_ = false;
    bool at_end_ = false;
    bool changed_ = false;
    bool stopped_ = false;
};

// The first packet of FLAC in Ogg: its mapping header, the marker and the STREAMINFO block.
constexpr size_t kOggFlacFirstPacket = 51;
bool ogg_flac_first_packet(const ogg_packet& p) {
    return p.bytes >= long(kOggFlacFirstPacket) && std::memcmp(p.packet, "\x7F" "FLAC", 5) == 0 && p.packet[5] == 1 &&
           std::memcmp(p.packet + 9, "fLaC", 4) == 0 && (p.packet[13] & 0x7F) == 0;
}

class FlacDecoder final : public StreamDecoder {
public:
    FlacDecoder(const uint8_t* stream_info, const FlacStreamInfo& info, bool ogg, unsigned channels)
        : frames_(stream_info, info, channels), info_(info), ogg_(ogg) {}

    bool live() const { return !frames_.stopped(); }

    void keep_wide(std::vector<float>* wide) override {
        StreamDecoder::keep_wide(wide);
        frames_.keep_wide(wide);
    }

    void decode(const uint8_t* src, size_t len, std::vector<int16_t>& out) override {
        if (frames_.stopped() || len == 0) return;
        if (!ogg_) {
            frames_.push(src, len);
            frames_.run(false, out);
            return;
        }
        if (!pages_.push(src, len)) {
            frames_.stop_for_change();
            return;
        }
        ogg_page page;
        while (!frames_.stopped() && pages_.next_page(page)) take_page(page, out);
    }

    void finish(std::vector<int16_t>& out) override {
        if (!ogg_) frames_.end(out);
    }

    bool format_changed() const override { return frames_.changed(); }
    StreamDamage damage() const override {
        StreamDamage d = frames_.damage();
        // Bytes between the pages of FLAC in Ogg that did not check out; the frames after them
        // found their place by their own numbers.
        if (ogg_) d.skipped_bytes += pages_.skipped_bytes();
        return d;
    }

    // A frame is at least a few bytes and holds at most the largest block.
    uint64_t max_frames(uint64_t len) const override {
        const uint64_t least = std::max<uint64_t>(info_.min_frame, 10);
        return ((len + frames_.frame_bound()) / least + 2) * info_.max_block;
    }
    // The least a frame can be (its header, a constant subframe, the checksum) holds the largest
    // block the format allows.
    uint64_t max_stream_frames(uint64_t len) const override {
        return std::min(max_frames(len), (len / 10 + 2) * 65535);
    }
    uint64_t max_source(uint64_t frames) const override {
        const uint64_t least = std::max<uint64_t>(info_.min_frame, 10);
        const uint64_t whole = frames / info_.max_block;
        return whole > 2 ? (whole - 2) * least : 0;
    }

private:
    void take_page(ogg_page& page, std::vector<int16_t>& out) {
        if (ogg_page_bos(&page)) {
            begin_link(page);
            return;
        }
        if (pages_.take_gap()) frames_.note_gap();
        if (!pages_.link_page(page)) return;
        ogg_packet packet;
        // After a gap the next whole packet is a frame again.
        while (!frames_.stopped() && pages_.next_packet(packet)) {
            if (pages_.take_gap()) frames_.note_gap();
            // Header packets are metadata blocks; every frame begins with its sync code.
            if (packet.bytes < 2 || packet.packet[0] != 0xFF) continue;
            frames_.push(packet.packet, size_t(packet.bytes));
            frames_.run(true, out);
        }
    }

    // A stream's first page: ours, the next link of a chain, or another stream beside it.
    void begin_link(ogg_page& page) {
        ogg_packet first;
        const bool flac = pages_.probe(page, first) && ogg_flac_first_packet(first);
        if (!flac) {
            pages_.drop_probe();
            // Another codec after our link switches the format; before it, it is only beside it.
            if (pages_.linked()) frames_.stop_for_change();
            return;
        }
        const FlacStreamInfo next = parse_flac_stream_info(first.packet + 17);
        if (next.channels != info_.channels || next.rate != info_.rate) {
            pages_.drop_probe();
            frames_.stop_for_change();
            return;
        }
        pages_.begin_link();
    }

    FlacFrames frames_;
    FlacStreamInfo info_;
    bool ogg_;
    OggPageWalker pages_;  // FLAC in Ogg only
};

uint32_t bits_at(const uint8_t* p, unsigned first, unsigned count) {
    uint64_t v = 0;
    for (unsigned i = first; i < first + count; ++i) v = v << 1 | ((p[i / 8] >> (7 - i % 8)) & 1);
    return uint32_t(v);
}

}  // namespace

FlacStreamInfo parse_flac_stream_info(const uint8_t* b) {
    FlacStreamInfo s;
    s.min_block = bits_at(b, 0, 16);
    s.max_block = bits_at(b, 16, 16);
    s.min_frame = bits_at(b, 32, 24);
    s.max_frame = bits_at(b, 56, 24);
    s.rate = bits_at(b, 80, 20);
    s.channels = bits_at(b, 100, 3) + 1;
    s.bits = bits_at(b, 103, 5) + 1;
    s.total_samples = uint64_t(bits_at(b, 108, 4)) << 32 | bits_at(b, 112, 32);
    return s;
}

bool flac_stream_info_sane(const FlacStreamInfo& s) {
    return s.rate > 0 && s.bits >= 4 && s.min_block >= 16 && s.max_block >= s.min_block;
}

std::unique_ptr<StreamDecoder> make_flac_decoder(const uint8_t* stream_info, bool ogg, unsigned channels) {
    const FlacStreamInfo info = parse_flac_stream_info(stream_info);
    if (!flac_stream_info_sane(info) || info.channels != channels) return nullptr;
    auto d = std::make_unique<FlacDecoder>(stream_info, info, ogg, channels);
    if (!d->live()) return nullptr;
    return d;
}

}  // namespace dl::decode
