#include "platform/ogg_page_walker.h"

#include <algorithm>
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
        const long r = ogg_sync_pageseek(&sync_, &page);
        if (r == 0) return false;
        if (r > 0) return true;
        // Bytes skipped up to the next page that checks out.
        skipped_ += uint64_t(-r);
        gap_ = true;
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
        // A gap in the stream (pages missing); decoding resumes after it.
        gap_ = true;
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

namespace {

// More sound lost in one place than this is a granule position that damage made, not a gap.
constexpr uint64_t kMostLostSeconds = 60;

}  // namespace

StreamDamage OggPacketDecoder::damage() const {
    StreamDamage d = damage_;
    // Bytes passed over after the last page that came: damage at the end of the sound.
    if (pages_.skipped_bytes() > skipped_seen_) d.note(emitted_, pages_.skipped_bytes() - skipped_seen_, 0);
    return d;
}

void OggPacketDecoder::lost_here(const std::vector<int16_t>& out) {
    if (loss_) return;
    loss_ = true;
    loss_at_ = out.size();
    loss_frame_ = emitted_;
}

void OggPacketDecoder::put_silence(std::vector<int16_t>& out, size_t at, uint64_t frames) {
    const size_t n = size_t(frames) * channels_;
    out.insert(out.begin() + std::ptrdiff_t(at), n, int16_t(0));
    if (wide_) wide_->insert(wide_->begin() + std::ptrdiff_t(at), n, 0.f);
}

void OggPacketDecoder::keep_time(int64_t granule, std::vector<int16_t>& out, size_t page_start) {
    if (pages_.skipped_bytes() > skipped_seen_) {
        // Bytes passed over before this page: a place of damage, whether or not sound went with them.
        damage_.note(loss_ ? loss_frame_ : emitted_, pages_.skipped_bytes() - skipped_seen_, 0);
        skipped_seen_ = pages_.skipped_bytes();
    }
    if (granule < 0) {
        // No packet ends on this page: what was lost is put back after the next one, at its start.
        if (loss_) loss_at_ = out.size();
        return;
    }
    if (!link_origin_known_ && !loss_) {
        link_origin_known_ = true;
        link_origin_ = granule - int64_t(link_frames_);
        return;
    }
    if (!loss_) return;
    loss_ = false;
    if (!link_origin_known_) return;
    const int64_t expected = granule - link_origin_;
    if (expected <= int64_t(link_frames_)) {
        damage_.note(loss_frame_, 0, 0);
        return;
    }
    const uint64_t lost = uint64_t(expected) - link_frames_;
    if (lost > kMostLostSeconds * rate_) return;
    const size_t at = std::clamp(loss_at_, page_start, out.size());
    put_silence(out, at, lost);
    link_frames_ += lost;
    emitted_ += lost;
    damage_.note(loss_frame_, 0, lost);
}

void OggPageWalker::end_link() {
    if (!linked_) return;
    ogg_stream_clear(&stream_);
    linked_ = false;
}

}  // namespace dl::decode
