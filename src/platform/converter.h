// Block-by-block conversion of compressed and wide sources to 16-bit PCM of
// the same rate and channel count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/decode_stream.h"

namespace dl {

// Result codes as the callers expect them.
inline constexpr int kConvertOk = 0;
inline constexpr int kConvertInvalidHandle = 5;   // MMSYSERR_INVALHANDLE
inline constexpr int kConvertNoMemory = 7;        // MMSYSERR_NOMEM
inline constexpr int kConvertInvalidFlag = 10;    // MMSYSERR_INVALFLAG
inline constexpr int kConvertInvalidParam = 11;   // MMSYSERR_INVALPARAM
inline constexpr int kConvertNotPossible = 512;   // ACMERR_NOTPOSSIBLE

class Converter {
public:
    // source_format = the whole format record as read: WAVEFORMATEX (tag u16,
    // channels u16, rate u32, avg bytes/s u32, block align u16, bits u16,
    // cbSize u16) + extra bytes. Output: 16-bit PCM, same rate and channels.
    static int open(const std::vector<uint8_t>& source_format, std::unique_ptr<Converter>& out);
    static bool can_decode(const std::vector<uint8_t>& source_format);

    // Capacity that always holds what convert() makes of source_bytes.
    int size_for_source(uint32_t source_bytes, uint32_t& destination_bytes) const;
    // Capacity that holds all a whole stream of source_bytes bytes, from its start, converts to:
    // bounded by the densest coding of the format, whatever its headers say.
    int size_for_stream(uint32_t source_bytes, uint32_t& destination_bytes) const;
    // Source bytes that fill destination_bytes: exactly for sample and block formats; for MPEG and
    // Ogg from the nominal byte rate, a denser passage leaving its excess inside for the next call.
    int size_for_destination(uint32_t destination_bytes, uint32_t& source_bytes) const;

    // Converts one block. What a decoder holds back at the block's end stays
    // inside for the next call: nothing is lost or doubled between blocks.
    // Writes whole sample frames only, never more than dst_capacity; output
    // that does not fit is kept and comes first next time.
    int convert(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_capacity,
                uint32_t& dst_used);

    // The source bytes have all been given: what the decoder still holds joins the output, which
    // convert() with no source bytes then hands out. Further source bytes are not decoded.
    int end_input();

    // True once the stream switched rate or channels; later output is withheld.
    bool format_changed() const;
    // Converted bytes that did not fit the destinations so far: they come first next time.
    uint64_t pending_bytes() const;
    // What the decoder passed over so far (the undecoded rest only once the input has ended).
    StreamDamage damage() const;

    // Every sample handed out by convert() is also handed to `sink` as it goes, at the width the
    // stream holds it: interleaved fractions of full scale (floats may pass 1.0). Set before the
    // first convert().
    using WideSink = std::function<void(const float* samples, size_t count)>;
    void hand_out_wide(WideSink sink);

    unsigned channels() const { return channels_; }
    uint32_t rate() const { return rate_; }

    ~Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

private:
    Converter(std::unique_ptr<decode::StreamDecoder> decoder, unsigned channels, uint32_t rate);
    // The wide samples one for one with pending_: a decoder that keeps none gives its 16-bit ones.
    void match_wide();
    void drop_handed_out();

    std::unique_ptr<decode::StreamDecoder> decoder_;
    unsigned channels_;
    uint32_t rate_;
    std::vector<int16_t> pending_;  // decoded, not yet handed out
    size_t pending_pos_ = 0;
    std::vector<float> wide_pending_;  // beside pending_, with a wide sink
    WideSink wide_sink_;
    bool input_ended_ = false;
    double nominal_bytes_per_frame_ = 0;  // 0: the decoder's exact bound
    uint32_t nominal_slack_ = 0;
};

}  // namespace dl
