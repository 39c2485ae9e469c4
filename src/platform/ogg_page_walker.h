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

protected:
    OggPacketDecoder(uint64_t held_page_bytes, uint64_t max_packet_frames)
        : held_page_bytes_(held_page_bytes), max_packet_frames_(max_packet_frames) {}
    virtual void take_page(ogg_page& page, std::vector<int16_t>& out) = 0;
    void stop_for_change() {
        changed_ = true;
        stopped_ = true;
    }

    OggPageWalker pages_;
    uint64_t frames_per_byte_ = 128;
    bool stopped_ = false;
    bool changed_ = false;

private:
    const uint64_t held_page_bytes_, max_packet_frames_;
};

}  // namespace dl::decode
