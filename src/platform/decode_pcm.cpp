#include "platform/decode_pcm.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/decode_block.h"

namespace dl::decode {

int16_t narrow_to_16(int32_t s) {
    // Round half up on the dropped 16 bits; only the top end can overflow.
    if (s > std::numeric_limits<int32_t>::max() - 0x8000) return 32767;
    return static_cast<int16_t>(static_cast<uint16_t>((static_cast<uint32_t>(s) + 0x8000u) >> 16));
}

void floats_to_16(const float* in, size_t n, int16_t* out) {
    size_t i = 0;
#if defined(__SSE2__)
    // Eight at a time: NaN to 0, clipped, converted in the current rounding (to nearest even, as lrint).
    const __m128 scale = _mm_set1_ps(32768.f), lo = _mm_set1_ps(-32768.f), hi = _mm_set1_ps(32767.f);
    auto four = [&](const float* p) {
        const __m128 x = _mm_mul_ps(_mm_loadu_ps(p), scale);
        const __m128 number = _mm_and_ps(x, _mm_cmpord_ps(x, x));
        return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(number, lo), hi));
    };
    for (; i + 8 <= n; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(four(in + i), four(in + i + 4)));
#endif
    for (; i < n; ++i) {
        const float x = std::clamp(in[i] * 32768.f, -32768.f, 32767.f);
        // Adding 1.5 * 2^23 leaves a float of this size no fraction bits: rounded to nearest even.
        out[i] = std::isnan(x) ? int16_t(0) : static_cast<int16_t>((x + 12582912.f) - 12582912.f);
    }
}

int16_t float_to_16(double value) {
    // Through the 32-bit full scale first, so floats and wide integers round alike.
    const double t = value * 2147483648.0;
    int32_t s = 0;
    if (std::isnan(t)) {
        s = 0;
    } else if (t < 0) {
        s = t <= -2147483648.5 ? std::numeric_limits<int32_t>::min() : static_cast<int32_t>(t - 0.5);
    } else {
        s = t >= 2147483647.5 ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(t + 0.5);
    }
    return narrow_to_16(s);
}

namespace {

constexpr int16_t alaw_value(uint8_t a) {
    a ^= 0x55;
    int t = (a & 0x0f) << 4;
    const int seg = (a & 0x70) >> 4;
    if (seg == 0) {
        t += 8;
    } else {
        t += 0x108;
        t <<= seg - 1;
    }
    return static_cast<int16_t>((a & 0x80) ? t : -t);
}

constexpr int16_t mulaw_value(uint8_t u) {
    u = static_cast<uint8_t>(~u);
    int t = ((u & 0x0f) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return static_cast<int16_t>((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

template <int16_t (*F)(uint8_t)>
constexpr std::array<int16_t, 256> make_table() {
    std::array<int16_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = F(static_cast<uint8_t>(i));
    return t;
}

constexpr auto kALaw = make_table<alaw_value>();
constexpr auto kMuLaw = make_table<mulaw_value>();

class SampleDecoder final : public BlockDecoder {
public:
    SampleDecoder(SampleCoding coding, unsigned bits, unsigned channels)
        : BlockDecoder(bits / 8 * channels, 1, channels), coding_(coding), bytes_(bits / 8) {}

protected:
    void decode_blocks(const uint8_t* src, size_t frames, int16_t* out) override {
        const size_t n = frames * channels();
        for (size_t i = 0; i < n; ++i, src += bytes_) out[i] = one(src);
    }

    bool decode_blocks_wide(const uint8_t* src, size_t frames, float* out) override {
        const bool wide = coding_ == SampleCoding::Float || (coding_ == SampleCoding::Integer && bytes_ > 2);
        if (!wide) return false;
        const size_t n = frames * channels();
        for (size_t i = 0; i < n; ++i, src += bytes_) out[i] = wide_one(src);
        return true;
    }

private:
    float wide_one(const uint8_t* p) const {
        if (coding_ == SampleCoding::Float) {
            double v = 0;
            if (bytes_ == 4) {
                const uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
                v = std::bit_cast<float>(u);
            } else {
                uint64_t u = 0;
                for (int b = 7; b >= 0; --b) u = u << 8 | p[b];
                v = std::bit_cast<double>(u);
            }
            // As the 16-bit samples have them: no number is silence, an infinity full scale.
            if (std::isnan(v)) return 0.f;
            if (!(std::fabs(v) < 1e30)) return v > 0 ? 1.f : -1.f;
            return float(v);
        }
        const uint32_t u = bytes_ == 3 ? (uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24)
                                       : (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                          uint32_t(p[3]) << 24);
        return float(double(static_cast<int32_t>(u)) / 2147483648.0);
    }

    int16_t one(const uint8_t* p) const {
        switch (coding_) {
        case SampleCoding::ALaw: return kALaw[*p];
        case SampleCoding::MuLaw: return kMuLaw[*p];
        case SampleCoding::Float:
            if (bytes_ == 4) {
                uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                             uint32_t(p[3]) << 24;
                return float_to_16(std::bit_cast<float>(u));
            } else {
                uint64_t u = 0;
                for (int b = 7; b >= 0; --b) u = u << 8 | p[b];
                return float_to_16(std::bit_cast<double>(u));
            }
        case SampleCoding::Integer: break;
        }
        switch (bytes_) {
        case 1: return static_cast<int16_t>((p[0] - 128) * 256);
        case 2: return static_cast<int16_t>(p[0] | p[1] << 8);
        case 3: {
            const uint32_t u = uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24;
            return narrow_to_16(static_cast<int32_t>(u));
        }
        default: {
            const uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                               uint32_t(p[3]) << 24;
            return narrow_to_16(static_cast<int32_t>(u));
        }
        }
    }

    SampleCoding coding_;
    size_t bytes_;
};

}  // namespace

int16_t alaw_to_16(uint8_t code) { return kALaw[code]; }
int16_t mulaw_to_16(uint8_t code) { return kMuLaw[code]; }

std::unique_ptr<StreamDecoder> make_sample_decoder(SampleCoding coding, unsigned bits,
                                                   unsigned channels) {
    return std::make_unique<SampleDecoder>(coding, bits, channels);
}

}  // namespace dl::decode
