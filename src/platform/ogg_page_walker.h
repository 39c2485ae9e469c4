// Ogg framing for the decoders of Ogg streams: bytes go in, whole pages come out, and the packets
// of the one logical stream (a link of a chain) being decoded. Pages of other streams beside it
// are the decoder's to pass over.
#pragma once

#include <ogg/ogg.h>

#include <cstddef>
#include <cstdint>

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

}  // namespace dl::decode
