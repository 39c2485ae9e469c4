#include "platform/ogg_page_walker.h"

#include <cstring>

namespace dl::decode {

OggPageWalker::OggPageWalker() { ogg_sync_init(&sync_); }

OggPageWalker::~OggPageWalker() {
    drop_probe();
    end_link();
    ogg_sync_clear(&sync_);
}

bool OggPageWalker::push(const uint8_t* src, size_t len) {
    char* buf = ogg_sync_buffer(&sync_, long(len));
    if (!buf) return false;
    std::memcpy(buf, src, len);
    ogg_sync_wrote(&sync_, long(len));
    return true;
}

bool OggPageWalker::next_page(ogg_page& page) {
    for (;;) {
        const int r = ogg_sync_pageout(&sync_, &page);
        if (r == 0) return false;
        if (r > 0) return true;
        // r < 0: bytes skipped up to the next page that checks out
    }
}

bool OggPageWalker::probe(ogg_page& page, ogg_packet& first) {
    drop_probe();
    ogg_stream_init(&probe_, ogg_page_serialno(&page));
    probing_ = true;
    return ogg_stream_pagein(&probe_, &page) == 0 && ogg_stream_packetout(&probe_, &first) == 1;
}

void OggPageWalker::begin_link() {
    if (!probing_) return;
    end_link();
    stream_ = probe_;  // the stream's buffers move along with it
    probe_ = ogg_stream_state{};
    probing_ = false;
    serial_ = stream_.serialno;
    linked_ = true;
}

void OggPageWalker::drop_probe() {
    if (!probing_) return;
    ogg_stream_clear(&probe_);
    probing_ = false;
}

bool OggPageWalker::link_page(ogg_page& page) {
    return linked_ && ogg_page_serialno(&page) == serial_ && ogg_stream_pagein(&stream_, &page) == 0;
}

bool OggPageWalker::next_packet(ogg_packet& packet) {
    for (;;) {
        const int r = ogg_stream_packetout(&stream_, &packet);
        if (r == 0) return false;
        if (r > 0) return true;
        // r < 0: a gap in the stream; decoding resumes after it
    }
}

void OggPacketDecoder::decode(const uint8_t* src, size_t len, std::vector<int16_t>& out) {
    if (stopped_ || len == 0) return;
    if (!pages_.push(src, len)) {
        stopped_ = true;
        return;
    }
    ogg_page page;
    while (!stopped_ && pages_.next_page(page)) take_page(page, out);
}

void OggPageWalker::end_link() {
    if (!linked_) return;
    ogg_stream_clear(&stream_);
    linked_ = false;
}

}  // namespace dl::decode
