#include "platform/decode_vorbis.h"

#include "platform/ogg_page_walker.h"
#include "platform/wave_format.h"

#include <vorbis/codec.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dl::decode {

namespace {

constexpr uint32_t kMinRate = 1000;
constexpr uint32_t kMaxRate = 384000;
// Largest Vorbis block: one packet adds at most half of it.
constexpr uint64_t kMaxPacketFrames = 4096;
// A page is decoded only once it is complete, so one byte can release a page
// that earlier blocks brought; encoders close pages at about 4 KiB.
constexpr uint64_t kHeldPageBytes = 8192;

class VorbisDecoder final : public OggPacketDecoder {
public:
    VorbisDecoder(uint32_t rate, unsigned channels, uint32_t avg)
        : OggPacketDecoder(kHeldPageBytes, kMaxPacketFrames, channels, rate) {
        // Vorbis has no hard ceiling on samples per byte (silence packs into a
        // byte or two per block); allow eight times the nominal density.
        const uint64_t pcm = uint64_t(rate) * channels * 2;
        frames_per_byte_ = avg > 0 ? std::clamp<uint64_t>(8 * pcm / avg / (channels * 2), 16, 256) : 128;
    }
    ~VorbisDecoder() override { end_link(); }

    // A packet of a byte or two can end a long block.
    uint64_t max_stream_frames(uint64_t len) const override {
        return std::min(max_frames(len), (len + 2) * kMaxPacketFrames);
    }

private:
    enum class State { SeekingLink, Headers, Audio, LinkEnded };

    void take_page(ogg_page& page, std::vector<int16_t>& out) override {
        const int serial = ogg_page_serialno(&page);
        if (ogg_page_bos(&page)) {
            // Beginning pages of other streams multiplexed with ours are ignored;
            // after our link, a beginning page starts the next link of a chain.
            if (state_ == State::SeekingLink || state_ == State::LinkEnded ||
                (state_ == State::Audio && serial != pages_.serial()))
                begin_link(page, out);
            return;
        }
        if (state_ == State::SeekingLink) {
            // Data pages before any Vorbis beginning page: nothing here we can play.
            if (saw_bos_) stopped_ = true;
            return;
        }
        const size_t page_start = out.size();
        if (pages_.take_gap()) lost_here(out);
        if (!pages_.link_page(page)) return;
        ogg_packet packet;
        while (pages_.next_packet(packet)) {
            if (pages_.take_gap()) lost_here(out);
            take_packet(packet, out);
            if (stopped_) return;
        }
        if (state_ == State::Audio) keep_time(ogg_page_granulepos(&page), out, page_start);
        if (ogg_page_eos(&page) && state_ == State::Audio) state_ = State::LinkEnded;
    }

    void begin_link(ogg_page& page, std::vector<int16_t>& out) {
        saw_bos_ = true;
        // Peek at the first packet before dropping the link in progress.
        ogg_packet id;
        const bool vorbis = pages_.probe(page, id) && vorbis_id_acceptable(id.packet, static_cast<size_t>(id.bytes));
        if (!vorbis) {
            pages_.drop_probe();
            // Another codec (or an unusable header) after our link is a switch
            // of format; at the start other streams may still follow.
            if (state_ != State::SeekingLink) stop_for_change();
            return;
        }
        const unsigned ch = id.packet[11];
        const uint32_t rate = le32(id.packet + 12);
        if (ch != channels_ || rate != rate_) {
            pages_.drop_probe();
            stop_for_change();
            return;
        }
        end_link();
        pages_.begin_link();
        vorbis_info_init(&info_);
        vorbis_comment_init(&comment_);
        info_live_ = true;
        headers_ = 0;
        state_ = State::Headers;
        begin_time();
        take_packet(id, out);
        // The rest of the page (rarely more headers) follows the usual path.
        ogg_packet packet;
        while (!stopped_ && pages_.next_packet(packet)) take_packet(packet, out);
    }

    void take_packet(ogg_packet& packet, std::vector<int16_t>& out) {
        if (state_ == State::Headers) {
            if (vorbis_synthesis_headerin(&info_, &comment_, &packet) != 0) {
                stopped_ = true;
                return;
            }
            if (++headers_ == 3) {
                if (vorbis_synthesis_init(&dsp_, &info_) != 0) {
                    stopped_ = true;
                    return;
                }
                vorbis_block_init(&dsp_, &block_);
                dsp_live_ = true;
                state_ = State::Audio;
            }
            return;
        }
        if (state_ != State::Audio) return;
        // A packet that will not decode is sound lost; the page's place says how much.
        if (vorbis_synthesis(&block_, &packet) == 0) vorbis_synthesis_blockin(&dsp_, &block_);
        else lost_here(out);
        float** pcm = nullptr;
        int frames = 0;
        while ((frames = vorbis_synthesis_pcmout(&dsp_, &pcm)) > 0) {
            const size_t at = out.size();
            out.resize(at + size_t(frames) * channels_);
            int16_t* dst = out.data() + at;
            for (unsigned c = 0; c < channels_; ++c) {
                const float* s = pcm[c];
                for (int i = 0; i < frames; ++i) {
                    // Clip, then round to nearest even like the usual players;
                    // NaN from a damaged packet goes to the floor.
                    float x = s[i] * 32768.f;
                    if (!(x > -32768.f)) x = -32768.f;
                    else if (x > 32767.f) x = 32767.f;
                    // Adding 1.5 * 2^23 leaves a float no fraction bits, so this rounds to nearest
                    // even as lrint does, without a library call per sample.
                    const float r = (x + 12582912.f) - 12582912.f;
                    dst[size_t(i) * channels_ + c] = static_cast<int16_t>(r);
                }
            }
            if (wide_) {
                const size_t w = wide_->size();
                wide_->resize(w + size_t(frames) * channels_);
                for (unsigned c = 0; c < channels_; ++c)
                    for (int i = 0; i < frames; ++i) {
                        const float x = pcm[c][i];
                        (*wide_)[w + size_t(i) * channels_ + c] = std::isnan(x) ? -1.f : x;
                    }
            }
            vorbis_synthesis_read(&dsp_, frames);
            count_out(uint64_t(frames));
        }
    }

    void end_link() {
        if (dsp_live_) {
            vorbis_block_clear(&block_);
            vorbis_dsp_clear(&dsp_);
            dsp_live_ = false;
        }
        if (info_live_) {
            vorbis_comment_clear(&comment_);
            vorbis_info_clear(&info_);
            info_live_ = false;
        }
        pages_.end_link();
    }

    vorbis_info info_{};
    vorbis_comment comment_{};
    vorbis_dsp_state dsp_{};
    vorbis_block block_{};
    bool info_live_ = false;
    bool dsp_live_ = false;
    bool saw_bos_ = false;
    int headers_ = 0;
    State state_ = State::SeekingLink;
};

}  // namespace

bool vorbis_id_acceptable(const uint8_t* p, size_t len) {
    if (len < 30 || p[0] != 1 || std::memcmp(p + 1, "vorbis", 6) != 0) return false;
    if (le32(p + 7) != 0) return false;
    const unsigned channels = p[11];
    const uint32_t rate = le32(p + 12);
    if (channels < 1 || channels > 2 || rate < kMinRate || rate > kMaxRate) return false;
    const unsigned bs0 = p[28] & 0x0f;
    const unsigned bs1 = p[28] >> 4;
    return bs0 >= 6 && bs1 <= 13 && bs0 <= bs1 && (p[29] & 1);
}

std::unique_ptr<StreamDecoder> make_vorbis_decoder(uint32_t rate, unsigned channels,
                                                   uint32_t avg_bytes_per_second) {
    return std::make_unique<VorbisDecoder>(rate, channels, avg_bytes_per_second);
}

}  // namespace dl::decode
