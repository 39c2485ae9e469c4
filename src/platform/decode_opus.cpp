#include "platform/decode_opus.h"

#include <opus_multistream.h>
#include <opusfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "platform/decode_pcm.h"
#include "platform/ogg_page_walker.h"

namespace dl::decode {

namespace {

// The longest Opus packet: 120 ms.
constexpr uint64_t kMaxPacketFrames = 5760;
// A page is decoded only once it is complete; pages are at most about 64 KiB.
constexpr uint64_t kHeldPageBytes = 65536;

class OpusStreamDecoder final : public OggPacketDecoder {
public:
    OpusStreamDecoder(unsigned channels, uint32_t avg)
        : OggPacketDecoder(kHeldPageBytes, kMaxPacketFrames, channels, kOpusRate) {
        // Opus packs a 120 ms packet into a couple of bytes at most; allow eight times the
        // average density, within what a byte can carry.
        const uint64_t pcm = uint64_t(kOpusRate) * channels * 2;
        frames_per_byte_ = avg > 0 ? std::clamp<uint64_t>(8 * pcm / avg / (channels * 2), 16, 2880) : 256;
        pcm_.resize(size_t(kMaxPacketFrames) * channels);
    }
    ~OpusStreamDecoder() override { end_link(); }

    // A packet of two bytes can hold 120 ms.
    uint64_t max_stream_frames(uint64_t len) const override {
        return std::min(max_frames(len), len * (kMaxPacketFrames / 2) + 2 * kMaxPacketFrames);
    }
private:
    void take_page(ogg_page& page, std::vector<int16_t>& out) override {
        if (ogg_page_bos(&page)) {
            begin_link(page);
            return;
        }
        const size_t page_start = out.size();
        if (pages_.take_gap()) lost_here(out);
        if (!decoder_ || !pages_.link_page(page)) return;
        ogg_packet packet;
        while (!stopped_ && pages_.next_packet(packet)) {
            if (pages_.take_gap()) lost_here(out);
            take_packet(packet, out);
        }
        const int64_t granule = ogg_page_granulepos(&page);
        keep_time(granule, out, page_start);
        // The last page's granule position ends the sound short of its last packet's end.
        if (ogg_page_eos(&page) && granule >= 0 && link_frames_ > uint64_t(granule)) {
            const uint64_t excess = std::min<uint64_t>(link_frames_ - uint64_t(granule),
                                                       (out.size() - page_start) / channels_);
            out.resize(out.size() - size_t(excess) * channels_);
            if (wide_) wide_->resize(wide_->size() - size_t(excess) * channels_);
            emitted_ -= excess;
        }
        if (ogg_page_eos(&page)) end_link();
    }

    void take_packet(ogg_packet& packet, std::vector<int16_t>& out) {
        if (!tags_seen_) {
            tags_seen_ = true;  // the comment header: nothing to play
            return;
        }
        const int n = wide_ ? decode_wide(packet)
                            : opus_multistream_decode(decoder_, packet.packet, opus_int32(packet.bytes), pcm_.data(),
                                                      int(kMaxPacketFrames), 0);
        if (n <= 0) {
            // A damaged packet: silence of its length where its header still tells it, or of what
            // the page's place says was lost.
            const int frames = opus_packet_get_nb_samples(packet.packet, opus_int32(packet.bytes), opus_int32(kOpusRate));
            if (frames <= 0 || frames > int(kMaxPacketFrames)) return lost_here(out);
            damage_.note(emitted_, 0, uint64_t(frames));
            put_silence(out, out.size(), uint64_t(frames));
            link_frames_ += uint64_t(frames);
            emitted_ += uint64_t(frames);
            return;
        }
        link_frames_ += uint64_t(n);
        const unsigned skip = std::min<unsigned>(skip_left_, unsigned(n));
        skip_left_ -= skip;
        emitted_ += n - skip;
        out.insert(out.end(), pcm_.begin() + std::ptrdiff_t(skip) * channels_,
                   pcm_.begin() + std::ptrdiff_t(n) * channels_);
        if (wide_)
            wide_->insert(wide_->end(), wide_pcm_.begin() + std::ptrdiff_t(skip) * channels_,
                          wide_pcm_.begin() + std::ptrdiff_t(n) * channels_);
    }

    // The packet as floats, and the 16-bit samples made of them as the library makes its own:
    // softly clipped, then rounded.
    int decode_wide(ogg_packet& packet) {
        wide_pcm_.resize(pcm_.size());
        const int n = opus_multistream_decode_float(decoder_, packet.packet, opus_int32(packet.bytes), wide_pcm_.data(),
                                                    int(kMaxPacketFrames), 0);
        if (n <= 0) return n;
        clipped_.assign(wide_pcm_.begin(), wide_pcm_.begin() + std::ptrdiff_t(n) * channels_);
        opus_pcm_soft_clip(clipped_.data(), n, int(channels_), soft_clip_.data());
        floats_to_16(clipped_.data(), clipped_.size(), pcm_.data());
        return n;
    }

    // A stream's first page: ours, the next link of a chain, or another stream beside ours.
    void begin_link(ogg_page& page) {
        // The first pages of streams multiplexed with ours come before its comment header.
        if (decoder_ && !tags_seen_) return;
        ogg_packet id;
        OpusHead head;
        const bool opus = pages_.probe(page, id) && opus_head_parse(&head, id.packet, size_t(id.bytes)) == 0;
        if (!opus || head.channel_count != int(channels_)) {
            pages_.drop_probe();
            // Another codec or layout after our link switches the format; before it, another
            // codec is only beside it.
            if (opus || linked_) stop_for_change();
            return;
        }
        int err = 0;
        OpusMSDecoder* d = opus_multistream_decoder_create(opus_int32(kOpusRate), head.channel_count, head.stream_count,
                                                           head.coupled_count, head.mapping, &err);
        if (!d || err != OPUS_OK) {
            if (d) opus_multistream_decoder_destroy(d);
            pages_.drop_probe();
            stop_for_change();
            return;
        }
        end_link();
        opus_multistream_decoder_ctl(d, OPUS_SET_GAIN(head.output_gain));
        decoder_ = d;
        soft_clip_ = {};
        pages_.begin_link();
        skip_left_ = head.pre_skip;
        begin_time();
        tags_seen_ = false;
        linked_ = true;
    }

    void end_link() {
        if (!decoder_) return;
        opus_multistream_decoder_destroy(decoder_);
        decoder_ = nullptr;
        pages_.end_link();
    }

    std::vector<opus_int16> pcm_;
    std::vector<float> wide_pcm_, clipped_;
    std::array<float, 2> soft_clip_{};  // the soft clipping's memory, a channel each
    OpusMSDecoder* decoder_ = nullptr;  // with the link of pages_, while one is open
    unsigned skip_left_ = 0;
    bool tags_seen_ = false;
    bool linked_ = false;
};

}  // namespace

OpusHeadCheck check_opus_head(const uint8_t* packet, size_t len, OpusHeadFacts& out) {
    if (len < 8 || std::memcmp(packet, "OpusHead", 8) != 0) return OpusHeadCheck::NotOpus;
    OpusHead head;
    if (opus_head_parse(&head, packet, len) != 0) return OpusHeadCheck::Broken;
    out.channels = unsigned(head.channel_count);
    out.pre_skip = head.pre_skip;
    out.input_rate = head.input_sample_rate;
    return OpusHeadCheck::Ok;
}

std::unique_ptr<StreamDecoder> make_opus_decoder(unsigned channels, uint32_t avg_bytes_per_second) {
    if (channels < 1 || channels > 2) return nullptr;
    return std::make_unique<OpusStreamDecoder>(channels, avg_bytes_per_second);
}

}  // namespace dl::decode
