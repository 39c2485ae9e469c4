#include "platform/decode_mpeg.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/decode_pcm.h"

namespace dl::decode {

namespace {

// Largest number of samples per byte any layer reaches at this rate: the
// lowest bit rate of the rate's MPEG version, frame lengths as the format
// rounds them.
struct FrameBound {
    uint64_t samples;
    uint64_t bytes;
};

FrameBound densest_frame(uint32_t rate) {
    if (rate == 0) return {1152, 1};
    const bool mpeg1 = rate >= 32000;
    const uint64_t kbps = mpeg1 ? 32 : 8;  // lowest bit rate of the version
    const FrameBound layers[3] = {
        {384, std::max<uint64_t>(4, kbps * 12000 / rate * 4)},
        {1152, std::max<uint64_t>(1, kbps * 144000 / rate)},
        {mpeg1 ? 1152u : 576u, std::max<uint64_t>(1, kbps * (mpeg1 ? 144000 : 72000) / rate)},
    };
    FrameBound best = layers[0];
    for (const auto& l : layers)
        if (l.samples * best.bytes > best.samples * l.bytes) best = l;
    return best;
}

// Frames of another rate or channel count, one right after the other, that make a switch of
// format rather than headers that damage happened to give.
constexpr int kSwitchFrames = 8;

// Frames the decoder may hold when a push arrives (a frame waiting for the
// next header, the frame in progress): output a push can release beyond its own bytes.
constexpr uint64_t kHeldSamples = 3 * 1152;

// Every rate and channel count in one encoding, so the decoder never resamples or remixes behind
// our back; a mismatch is caught on the format notice.
void accept_formats(mpg123_handle* h, int encoding) {
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, encoding);
}

class MpegDecoder final : public StreamDecoder {
public:
    MpegDecoder(mpg123_handle* handle, uint32_t rate, unsigned channels)
        : handle_(handle), rate_(rate), channels_(channels), bound_(densest_frame(rate)) {}
    ~MpegDecoder() override { mpg123_delete(handle_); }

    void decode(const uint8_t* src, size_t len, std::vector<int16_t>& out) override {
        if (stopped_) return;
        if (len > 0 && mpg123_feed(handle_, src, len) != MPG123_OK) {
            stopped_ = true;
            return;
        }
        fed_ += len;
        for (;;) {
            off_t num = 0;
            unsigned char* audio = nullptr;
            size_t bytes = 0;
            const int r = mpg123_decode_frame(handle_, &num, &audio, &bytes);
            if (r == MPG123_NEW_FORMAT) {
                format_ok_ = format_is_ours();
                continue;
            }
            // "Need more" may come with the last frame's samples: keep them.
            if (bytes > 0 && audio && format_ok_) {
                const uint64_t lost = count_frame();
                put_silence(lost, out);
                take_samples(audio, bytes, out);
            } else if (bytes > 0 && audio && foreign_frame()) {
                // Anything else would reach the device in the wrong layout: the stream ends here.
                changed_ = stopped_ = true;
                return;
            }
            if (r == MPG123_OK) continue;
            if (r != MPG123_NEED_MORE) stopped_ = true;  // done, or a damage it cannot pass
            return;
        }
    }

    bool format_changed() const override { return changed_; }

    StreamDamage damage() const override {
        StreamDamage d = damage_;
        // Past the last frame lies a cut last frame and the one the library may hold back, or a
        // rest in which no frame could be found: only that counts.
        const uint64_t tail = fed_ > frames_end_ ? fed_ - frames_end_ : 0;
        if (frames_seen_ && !changed_ && tail > 3 * largest_frame_) d.undecoded_tail = tail;
        return d;
    }

    uint64_t max_frames(uint64_t len) const override {
        return (len + bound_.bytes - 1) / bound_.bytes * bound_.samples + kHeldSamples;
    }

    uint64_t max_source(uint64_t frames) const override {
        if (frames < kHeldSamples) return 0;
        return (frames - kHeldSamples) / bound_.samples * bound_.bytes;
    }

    // The samples as floats from here on; the 16-bit ones are rounded from them as the library's
    // own 16-bit output rounds.
    void keep_wide(std::vector<float>* wide) override {
        StreamDecoder::keep_wide(wide);
        encoding_ = wide ? MPG123_ENC_FLOAT_32 : MPG123_ENC_SIGNED_16;
        accept_formats(handle_, encoding_);
    }

private:
    void take_samples(const unsigned char* audio, size_t bytes, std::vector<int16_t>& out) {
        const size_t at = out.size();
        emitted_ += bytes / (encoding_ == MPG123_ENC_SIGNED_16 ? 2 : sizeof(float)) / channels_;
        if (encoding_ == MPG123_ENC_SIGNED_16) {
            out.resize(at + bytes / 2);
            std::memcpy(out.data() + at, audio, bytes / 2 * 2);
            return;
        }
        const size_t n = bytes / sizeof(float);
        const size_t w = wide_->size();
        wide_->resize(w + n);
        std::memcpy(wide_->data() + w, audio, n * sizeof(float));
        out.resize(at + n);
        floats_to_16(wide_->data() + w, n, out.data() + at);
    }

    // Where in the bytes fed the frame just decoded lies; false when the library does not say.
    bool frame_extent(uint64_t& start, uint64_t& end) {
        mpg123_frameinfo2 info{};
        if (mpg123_info2(handle_, &info) != MPG123_OK || info.framesize <= 0) return false;
        const off_t at = mpg123_framepos(handle_);
        if (at < 0) return false;
        start = uint64_t(at);
        end = start + uint64_t(info.framesize);
        return true;
    }

    // A frame of another layout: true once enough of them follow each other without a gap to make
    // a switch of format (a header that damage gives stands alone between bytes passed over).
    bool foreign_frame() {
        uint64_t start = 0, end = 0;
        if (!frame_extent(start, end)) return false;
        foreign_run_ = foreign_run_ > 0 && start == foreign_end_ ? foreign_run_ + 1 : 1;
        foreign_end_ = end;
        return foreign_run_ >= kSwitchFrames;
    }

    // Where the frame just decoded lay: bytes between it and the one before were passed over. When
    // the stream's frames all have one length and the bytes passed over are whole frames of it, the
    // frames they held are the sound lost (returned, in sample frames); bytes of another length (a
    // tag between frames) took none.
    uint64_t count_frame() {
        foreign_run_ = 0;
        uint64_t start = 0, end = 0;
        if (!frame_extent(start, end)) return 0;
        const uint64_t length = end - start;
        uint64_t lost = 0;
        // What lies before the first frame is the stream's header (tags, the info frame).
        if (frames_seen_ && start > frames_end_) {
            const uint64_t gap = start - frames_end_;
            const uint64_t whole = (gap + length / 2) / std::max<uint64_t>(length, 1);
            const bool constant = shortest_frame_ + 1 >= largest_frame_ && length + 1 >= largest_frame_ &&
                                  length <= shortest_frame_ + 1;
            if (constant && whole > 0 && gap + whole >= whole * length && gap <= whole * (length + 1))
                lost = whole * samples_per_frame();
            damage_.note(emitted_, gap, lost);
        }
        if (!frames_seen_) shortest_frame_ = length;
        frames_seen_ = true;
        frames_end_ = std::max(frames_end_, end);
        largest_frame_ = std::max(largest_frame_, length);
        shortest_frame_ = std::min(shortest_frame_, length);
        return lost;
    }

    uint64_t samples_per_frame() {
        mpg123_frameinfo2 info{};
        if (mpg123_info2(handle_, &info) != MPG123_OK) return 0;
        if (info.layer == 1) return 384;
        return info.layer == 3 && info.version != MPG123_1_0 ? 576 : 1152;
    }

    void put_silence(uint64_t frames, std::vector<int16_t>& out) {
        const size_t n = size_t(frames) * channels_;
        out.resize(out.size() + n, 0);
        if (wide_) wide_->resize(wide_->size() + n, 0.f);
        emitted_ += frames;
    }

    bool format_is_ours() {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        mpg123_getformat(handle_, &rate, &channels, &encoding);
        return rate == static_cast<long>(rate_) && channels == static_cast<int>(channels_) && encoding == encoding_;
    }

    mpg123_handle* handle_;
    uint32_t rate_;
    unsigned channels_;
    FrameBound bound_;
    int encoding_ = MPG123_ENC_SIGNED_16;
    bool format_ok_ = false;
    bool changed_ = false;
    bool stopped_ = false;
    int foreign_run_ = 0;
    uint64_t foreign_end_ = 0;
    uint64_t fed_ = 0;
    bool frames_seen_ = false;
    uint64_t frames_end_ = 0;  // where the last frame decoded ended, in the bytes fed
    uint64_t largest_frame_ = 0, shortest_frame_ = 0;
    uint64_t emitted_ = 0;  // sample frames decoded so far
    StreamDamage damage_;
};

}  // namespace

std::unique_ptr<StreamDecoder> make_mpeg_decoder(uint32_t rate, unsigned channels) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return nullptr;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // Damage of any length is passed over to the next frames, as the other decoders do; by default
    // the library gives up after 1 KiB and the rest of the file would be lost without a word.
    mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0.0);
    accept_formats(h, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    return std::make_unique<MpegDecoder>(h, rate, channels);
}

}  // namespace dl::decode
