// Ogg framing for the decoders of Ogg streams: bytes go in, whole pages come out, and the packets
// of the one logical stream (a link of a chain) being decoded. Pages of other streams beside it
// are the decoder's to pass over.
#pragma once

#include <ogg/ogg.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/decode_stream.h"

namespace dl::decode {

class OggPageWalker {
public:
    OggPageWalker();
    ~OggPageWalker();
    OggPageWalker(const OggPageWalker&) = delete;
    OggPageWalker& operator=(const OggPageWalker&) = delete;

    // Takes bytes in; false when no room could be had for them.
    bool push(const uint8_t* src, size_t len);
    // The next whole page of what was pushed; bytes that do not check out are passed over.
    bool next_page(ogg_page& page);
    // Bytes passed over so far.
    uint64_t skipped_bytes() const { return skipped_; }
    // Whether bytes were passed over, or pages of the link are missing, since the last call.
    bool take_gap() {
        const bool g = gap_;
        gap_ = false;
        return g;
    }

    // The first packet of a beginning page, read into a stream of its own that stays apart from
    // the link until begin_link (or drop_probe) settles it. False when the page holds none.
    bool probe(ogg_page& page, ogg_packet& first);
    // The probed stream becomes the link, ending the one in progress; the first packet stays valid.
    void begin_link();
    void drop_probe();

    // Feeds a page to the link: false when there is none, the page is another stream's, or it does
    // not fit the link.
    bool link_page(ogg_page& page);
    // The link's next packet; gaps (pages lost before it) are passed over.
    bool next_packet(ogg_packet& packet);
    void end_link();
    bool linked() const { return linked_; }
    // The serial number of the link, or of the last one.
    int serial() const { return serial_; }

private:
    ogg_sync_state sync_{};
    ogg_stream_state stream_{};
    ogg_stream_state probe_{};
    int serial_ = 0;
    bool linked_ = false;
    bool probing_ = false;
    uint64_t skipped_ = 0;
    bool gap_ = false;
};

// A decoder of a codec whose packets come in Ogg pages: every whole page of the bytes goes to
// take_page. Its bounds follow from the most frames a packet decodes to and the most bytes a page
// holds back until it is complete, with frames_per_byte_ set by the codec.
class OggPacketDecoder : public StreamDecoder {
public:
    void decode(const uint8_t* src, size_t len, std::vector<int16_t>& out) final;
    bool format_changed() const override { return changed_; }
    uint64_t max_frames(uint64_t len) const override {
        return (len + held_page_bytes_) * frames_per_byte_ + 2 * max_packet_frames_;
    }
    uint64_t max_source(uint64_t frames) const override {
        const uint64_t fixed = held_page_bytes_ * frames_per_byte_ + 2 * max_packet_frames_;
        return frames < fixed ? 0 : (frames - fixed) / frames_per_byte_;
    }

    StreamDamage damage() const override;

protected:
    OggPacketDecoder(uint64_t held_page_bytes, uint64_t max_packet_frames, unsigned channels, uint32_t rate)
        : channels_(channels), rate_(rate), held_page_bytes_(held_page_bytes), max_packet_frames_(max_packet_frames) {}
    virtual void take_page(ogg_page& page, std::vector<int16_t>& out) = 0;
    void stop_for_change() {
        changed_ = true;
        stopped_ = true;
    }

    // Keeping time across damage. A link's pages carry the place of the sound they end at (their
    // granule position); where pages went missing or a packet would not decode, the page after says
    // how much sound was lost, and it is put back as silence where it was lost.
    // The link starts: its first page with a place sets where its count stands.
    void begin_time() {
        link_frames_ = 0;
        link_origin_known_ = false;
        loss_ = false;
    }
    // Something was lost just before the samples that `out` would get next.
    void lost_here(const std::vector<int16_t>& out);
    // Samples of the link came out.
    void count_out(uint64_t frames) {
        link_frames_ += frames;
        emitted_ += frames;
    }
    // Silence of `frames` at `at` in `out` (and in the wide samples beside it).
    void put_silence(std::vector<int16_t>& out, size_t at, uint64_t frames);
    // After a page: its granule position `granule` (-1: none) puts back what was lost on it.
    void keep_time(int64_t granule, std::vector<int16_t>& out, size_t page_start);

    OggPageWalker pages_;
    uint64_t frames_per_byte_ = 128;
    bool stopped_ = false;
    bool changed_ = false;
    const unsigned channels_;
    const uint32_t rate_;
    uint64_t link_frames_ = 0;  // decoded in this link (with Opus, the pre-skip included)
    uint64_t emitted_ = 0;      // sample frames decoded in all
    StreamDamage damage_;

private:
    const uint64_t held_page_bytes_, max_packet_frames_;
    bool link_origin_known_ = false;
    int64_t link_origin_ = 0;  // the granule position where the link's count starts
    bool loss_ = false;
    size_t loss_at_ = 0;        // in `out`, during the page where it was found
    uint64_t loss_frame_ = 0;   // in the sound decoded in all
    uint64_t skipped_seen_ = 0;
};

}  // namespace dl::decode
