#include "platform/converter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

#include "platform/decode_adpcm.h"
#include "platform/decode_flac.h"
#include "platform/decode_mpeg.h"
#include "platform/decode_opus.h"
#include "platform/decode_pcm.h"
#include "platform/decode_stream.h"
#include "platform/decode_vorbis.h"
#include "platform/wave_format.h"

static_assert(std::endian::native == std::endian::little, "16-bit output is written as stored");

namespace dl {

namespace {

// Records up to this rate convert (to 16-bit PCM at the same rate); the devices themselves take up
// to 384000 Hz (is_device_pcm), and the decoders' streams no more than that.
constexpr uint32_t kMaxConvertedRate = 1000000;

// Sub-format GUID tail shared by the PCM and float kinds.
constexpr uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Builds the decoder for a record; result code in `code` when there is none.
std::unique_ptr<decode::StreamDecoder> decoder_for(const std::vector<uint8_t>& rec, int& code,
                                                   WaveFormat& f) {
    code = kConvertInvalidParam;
    if (!parse_wave_format(rec, f)) return nullptr;
    code = kConvertNotPossible;
    if (f.channels < 1 || f.channels > 2 || f.rate == 0 || f.rate > kMaxConvertedRate) return nullptr;

    uint16_t tag = f.tag;
    if (tag == kTagExtensible) {
        // Only the sub-format matters; the channel mask adds nothing for one or two channels.
        if (f.extra_len < 22 || std::memcmp(f.extra + 8, kGuidTail, sizeof kGuidTail) != 0)
            return nullptr;
        tag = le16(f.extra + 6);
        if (tag != kTagPcm && tag != kTagFloat) return nullptr;
    }

    using decode::SampleCoding;
    switch (tag) {
    case kTagPcm:
        if (f.bits != 8 && f.bits != 16 && f.bits != 24 && f.bits != 32) return nullptr;
        if (f.block_align != f.channels * f.bits / 8) return nullptr;
        return decode::make_sample_decoder(SampleCoding::Integer, f.bits, f.channels);
    case kTagFloat:
        if (f.bits != 32 && f.bits != 64) return nullptr;
        if (f.block_align != f.channels * f.bits / 8) return nullptr;
        return decode::make_sample_decoder(SampleCoding::Float, f.bits, f.channels);
    case kTagALaw:
    case kTagMuLaw:
        if (f.bits != 8 || f.block_align != f.channels) return nullptr;
        return decode::make_sample_decoder(tag == kTagALaw ? SampleCoding::ALaw : SampleCoding::MuLaw,
                                           8, f.channels);
    case kTagImaAdpcm: {
        const size_t spb = f.extra_len >= 2 ? le16(f.extra) : 0;
        const size_t frames = decode::ima_frames_per_block(f.block_align, f.channels, spb);
        if (frames == 0) return nullptr;
        return decode::make_ima_adpcm_decoder(f.block_align, f.channels, frames);
    }
    case kTagMsAdpcm: {
        const size_t spb = f.extra_len >= 2 ? le16(f.extra) : 0;
        const size_t frames = decode::ms_frames_per_block(f.block_align, f.channels, spb);
        if (frames == 0) return nullptr;
        std::vector<decode::MsCoefficient> coef;
        if (f.extra_len >= 4) {
            const size_t n = le16(f.extra + 2);
            if (n == 0 || f.extra_len < 4 + 4 * n) return nullptr;
            for (size_t i = 0; i < n; ++i) {
                const uint8_t* c = f.extra + 4 + 4 * i;
                coef.push_back({static_cast<int16_t>(le16(c)), static_cast<int16_t>(le16(c + 2))});
            }
        } else {
            coef = decode::ms_standard_coefficients();
        }
        return decode::make_ms_adpcm_decoder(f.block_align, f.channels, frames, std::move(coef));
    }
    case kTagMpeg:
    case kTagMpegLayer3: {
        auto d = decode::make_mpeg_decoder(f.rate, f.channels);
        if (!d) code = kConvertNoMemory;
        return d;
    }
    case kTagFlac:
    case kTagOggFlac: {
        if (f.extra_len < kFlacStreamInfoBytes) return nullptr;
        return decode::make_flac_decoder(f.extra, tag == kTagOggFlac, f.channels);
    }
    case kTagOpus:
        if (f.rate != decode::kOpusRate) return nullptr;
        return decode::make_opus_decoder(f.channels, f.bytes_per_second);
    default:
        if (is_ogg_tag(tag)) return decode::make_vorbis_decoder(f.rate, f.channels, f.bytes_per_second);
        return nullptr;
    }
}

uint32_t clamp32(uint64_t v) {
    return static_cast<uint32_t>(std::min<uint64_t>(v, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

Converter::Converter(std::unique_ptr<decode::StreamDecoder> decoder, unsigned channels, uint32_t rate)
    : decoder_(std::move(decoder)), channels_(channels), rate_(rate) {}

Converter::~Converter() = default;

int Converter::open(const std::vector<uint8_t>& source_format, std::unique_ptr<Converter>& out) {
    out.reset();
    try {
        int code = kConvertOk;
        WaveFormat f;
        auto d = decoder_for(source_format, code, f);
        if (!d) return code;
        out.reset(new Converter(std::move(d), f.channels, f.rate));
        // Compressed streams of varying density: a destination is filled from the nominal byte rate.
        const bool mpeg = f.tag == kTagMpeg || f.tag == kTagMpegLayer3;
        if (is_varying_rate_tag(f.tag) && f.bytes_per_second > 0) {
            out->nominal_bytes_per_frame_ = double(f.bytes_per_second) / f.rate;
            // Headers and a page or frame the decoder holds back come on top of the sound itself.
            out->nominal_slack_ = mpeg ? 2 * 1441 : is_ogg_tag(f.tag) ? 16384 : 65536;
        }
        return kConvertOk;
    } catch (const std::bad_alloc&) {
        return kConvertNoMemory;
    }
}

bool Converter::can_decode(const std::vector<uint8_t>& source_format) {
    std::unique_ptr<Converter> c;
    return open(source_format, c) == kConvertOk;
}

int Converter::size_for_source(uint32_t source_bytes, uint32_t& destination_bytes) const {
    destination_bytes = clamp32(decoder_->max_frames(source_bytes) * channels_ * 2);
    return kConvertOk;
}

int Converter::size_for_stream(uint32_t source_bytes, uint32_t& destination_bytes) const {
    destination_bytes = clamp32(decoder_->max_stream_frames(source_bytes) * channels_ * 2);
    return kConvertOk;
}

int Converter::size_for_destination(uint32_t destination_bytes, uint32_t& source_bytes) const {
    const uint64_t frames = destination_bytes / (channels_ * 2);
    // What a denser passage decodes beyond the destination stays in the converter: the whole
    // destination is filled rather than only the part the densest possible stream would fill.
    if (nominal_bytes_per_frame_ > 0)
        source_bytes = clamp32(uint64_t(double(frames) * nominal_bytes_per_frame_) + nominal_slack_);
    else
        source_bytes = clamp32(decoder_->max_source(frames));
    return kConvertOk;
}

int Converter::convert(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_capacity,
                       uint32_t& dst_used) {
    dst_used = 0;
    if ((src_len > 0 && !src) || (dst_capacity > 0 && !dst)) return kConvertInvalidParam;
    try {
        if (pending_pos_ == pending_.size()) drop_handed_out();
        if (src_len > 0 && !input_ended_) {
            decoder_->decode(src, src_len, pending_);
            match_wide();
        }
    } catch (const std::bad_alloc&) {
        return kConvertNoMemory;
    }
    const size_t frame = channels_;
    const size_t available = (pending_.size() - pending_pos_) / frame;
    const size_t fits = dst_capacity / (frame * 2);
    const size_t samples = std::min(available, fits) * frame;
    if (samples > 0) {
        std::memcpy(dst, pending_.data() + pending_pos_, samples * 2);
        if (wide_sink_) wide_sink_(wide_pending_.data() + pending_pos_, samples);
    }
    pending_pos_ += samples;
    dst_used = static_cast<uint32_t>(samples * 2);
    if (pending_pos_ == pending_.size() || pending_pos_ > pending_.size() / 2) drop_handed_out();
    return kConvertOk;
}

void Converter::drop_handed_out() {
    if (pending_pos_ == 0) return;
    const auto at = static_cast<std::ptrdiff_t>(pending_pos_);
    pending_.erase(pending_.begin(), pending_.begin() + at);
    if (wide_sink_) wide_pending_.erase(wide_pending_.begin(), wide_pending_.begin() + at);
    pending_pos_ = 0;
}

void Converter::match_wide() {
    if (!wide_sink_) return;
    if (wide_pending_.size() > pending_.size()) wide_pending_.resize(pending_.size());
    for (size_t i = wide_pending_.size(); i < pending_.size(); ++i) wide_pending_.push_back(pending_[i] / 32768.f);
}

void Converter::hand_out_wide(WideSink sink) {
    wide_sink_ = std::move(sink);
    decoder_->keep_wide(wide_sink_ ? &wide_pending_ : nullptr);
}

int Converter::end_input() {
    if (input_ended_) return kConvertOk;
    input_ended_ = true;
    try {
        decoder_->finish(pending_);
        match_wide();
    } catch (const std::bad_alloc&) {
        return kConvertNoMemory;
    }
    return kConvertOk;
}

bool Converter::format_changed() const { return decoder_->format_changed(); }

uint64_t Converter::pending_bytes() const { return (pending_.size() - pending_pos_) * 2; }

StreamDamage Converter::damage() const { return decoder_->damage(); }

}  // namespace dl
