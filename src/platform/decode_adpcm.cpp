#include "platform/decode_adpcm.h"

#include <algorithm>
#include <limits>

#include "platform/decode_block.h"
#include "platform/wave_format.h"

namespace dl::decode {

namespace {

constexpr int kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kImaIndexStep[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

class ImaDecoder final : public BlockDecoder {
public:
    ImaDecoder(size_t block_align, unsigned channels, size_t frames)
        : BlockDecoder(block_align, frames, channels) {}

protected:
    void decode_blocks(const uint8_t* src, size_t blocks, int16_t* out) override {
        const unsigned ch = channels();
        const size_t frames = frames_per_block();
        for (size_t b = 0; b < blocks; ++b, src += block_bytes(), out += frames * ch) {
            for (unsigned c = 0; c < ch; ++c) {
                const uint8_t* h = src + 4 * c;
                int value = int16_t(le16(h));
                int index = h[2];
                // A damaged header index would read outside the step table.
                if (index > 88) index = 0;
                out[c] = static_cast<int16_t>(value);
                // Nibbles of one channel come in 4-byte words, channel by channel.
                const uint8_t* data = src + 4 * ch + 4 * c;
                for (size_t i = 1; i < frames; ++i) {
                    const size_t k = i - 1;
                    const uint8_t byte = data[(k / 8) * 4 * ch + (k % 8) / 2];
                    const int nib = (k & 1) ? byte >> 4 : byte & 0x0f;
                    const int step = kImaSteps[index];
                    int diff = step >> 3;
                    if (nib & 4) diff += step;
                    if (nib & 2) diff += step >> 1;
                    if (nib & 1) diff += step >> 2;
                    value = (nib & 8) ? std::max(value - diff, -32768) : std::min(value + diff, 32767);
                    index = std::clamp(index + kImaIndexStep[nib & 7], 0, 88);
                    out[i * ch + c] = static_cast<int16_t>(value);
                }
            }
        }
    }
};

constexpr int kMsAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                              768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kMsMaxDelta = std::numeric_limits<int>::max() / 768;

class MsDecoder final : public BlockDecoder {
public:
    MsDecoder(size_t block_align, unsigned channels, size_t frames, std::vector<MsCoefficient> coef)
        : BlockDecoder(block_align, frames, channels), coef_(std::move(coef)) {}

protected:
    void decode_blocks(const uint8_t* src, size_t blocks, int16_t* out) override {
        const unsigned ch = channels();
        const size_t frames = frames_per_block();
        for (size_t b = 0; b < blocks; ++b, src += block_bytes(), out += frames * ch) {
            const uint8_t* p = src;
            MsCoefficient co[2]{};
            int delta[2]{};
            for (unsigned c = 0; c < ch; ++c) {
                // An out-of-range predictor falls back to the first pair.
                const size_t pred = p[c] < coef_.size() ? p[c] : 0;
                co[c] = coef_[pred];
            }
            p += ch;
            for (unsigned c = 0; c < ch; ++c, p += 2) delta[c] = int16_t(le16(p));
            // The header holds the second sample first.
            for (unsigned c = 0; c < ch; ++c, p += 2) out[ch + c] = int16_t(le16(p));
            for (unsigned c = 0; c < ch; ++c, p += 2) out[c] = int16_t(le16(p));
            const size_t total = frames * ch;
            unsigned c = 0;
            for (size_t i = 2 * ch; i < total; ++i) {
                const size_t k = i - 2 * ch;
                const int nib = (k & 1) ? p[k / 2] & 0x0f : p[k / 2] >> 4;
                const int s1 = out[i - ch];
                const int s2 = out[i - 2 * ch];
                const int step = delta[c];
                // Damaged data can grow the step without end; cap it before it overflows.
                delta[c] = std::clamp((kMsAdapt[nib] * step) >> 8, 16, kMsMaxDelta);
                const int predicted = (s1 * co[c].c1 + s2 * co[c].c2) >> 8;
                const int signed_nib = nib - ((nib & 8) << 1);
                out[i] = static_cast<int16_t>(std::clamp(signed_nib * step + predicted, -32768, 32767));
                if (++c == ch) c = 0;
            }
        }
    }

private:
    std::vector<MsCoefficient> coef_;
};

}  // namespace

size_t ima_frames_per_block(size_t block_align, unsigned channels, size_t samples_per_block) {
    if (channels == 0 || block_align < 4u * channels) return 0;
    const size_t frames = (block_align - 4u * channels) / (4u * channels) * 8 + 1;
    return samples_per_block > 0 ? std::min(frames, samples_per_block) : frames;
}

size_t ms_frames_per_block(size_t block_align, unsigned channels, size_t samples_per_block) {
    if (channels == 0 || block_align < 7u * channels) return 0;
    const size_t frames = (block_align - 7u * channels) * 2 / channels + 2;
    // Fewer than the two header samples would make no sense of the header.
    return samples_per_block >= 2 ? std::min(frames, samples_per_block) : frames;
}

const std::vector<MsCoefficient>& ms_standard_coefficients() {
    static const std::vector<MsCoefficient> table = {
        {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    return table;
}

std::unique_ptr<StreamDecoder> make_ima_adpcm_decoder(size_t block_align, unsigned channels,
                                                      size_t frames_per_block) {
    return std::make_unique<ImaDecoder>(block_align, channels, frames_per_block);
}

std::unique_ptr<StreamDecoder> make_ms_adpcm_decoder(size_t block_align, unsigned channels,
                                                     size_t frames_per_block,
                                                     std::vector<MsCoefficient> coefficients) {
    return std::make_unique<MsDecoder>(block_align, channels, frames_per_block,
                                       std::move(coefficients));
}

}  // namespace dl::decode
