#include "platform/decode_mpeg.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

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

// Frames the decoder may hold when a push arrives (a frame waiting for the
// next header, the frame in progress): output a push can release beyond its own bytes.
constexpr uint64_t kHeldSamples = 3 * 1152;

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
        for (;;) {
            off_t num = 0;
            unsigned char* audio = nullptr;
            size_t bytes = 0;
            const int r = mpg123_decode_frame(handle_, &num, &audio, &bytes);
            if (r == MPG123_NEW_FORMAT) {
                if (!accept_format()) return;
                continue;
            }
            // "Need more" may come with the last frame's samples: keep them.
            if (bytes > 0 && audio && format_ok_) {
                const size_t at = out.size();
                out.resize(at + bytes / 2);
                std::memcpy(out.data() + at, audio, bytes / 2 * 2);
            }
            if (r == MPG123_OK) continue;
            if (r != MPG123_NEED_MORE) stopped_ = true;  // done, or a damage it cannot pass
            return;
        }
    }

    bool format_changed() const override { return changed_; }

    uint64_t max_frames(uint64_t len) const override {
        return (len + bound_.bytes - 1) / bound_.bytes * bound_.samples + kHeldSamples;
    }

    uint64_t max_source(uint64_t frames) const override {
        if (frames < kHeldSamples) return 0;
        return (frames - kHeldSamples) / bound_.samples * bound_.bytes;
    }

private:
    bool accept_format() {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        mpg123_getformat(handle_, &rate, &channels, &encoding);
        if (rate == static_cast<long>(rate_) && channels == static_cast<int>(channels_) &&
            encoding == MPG123_ENC_SIGNED_16) {
            format_ok_ = true;
            return true;
        }
        // Anything else would reach the device in the wrong layout.
        changed_ = true;
        stopped_ = true;
        format_ok_ = false;
        return false;
    }

    mpg123_handle* handle_;
    uint32_t rate_;
    unsigned channels_;
    FrameBound bound_;
    bool format_ok_ = false;
    bool changed_ = false;
    bool stopped_ = false;
};

}  // namespace

std::unique_ptr<StreamDecoder> make_mpeg_decoder(uint32_t rate, unsigned channels) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return nullptr;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    // Every rate and channel count in 16-bit, so the decoder never resamples
    // or remixes behind our back; a mismatch is caught on the format notice.
    for (size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    return std::make_unique<MpegDecoder>(h, rate, channels);
}

}  // namespace dl::decode
