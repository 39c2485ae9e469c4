// Any format record and any stream, cut into blocks the input chooses:
// the converter must neither crash nor write past its buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/converter.h"

namespace {

constexpr uint16_t kTags[] = {0x0001, 0x0002, 0x0003, 0x0006, 0x0007, 0x0011, 0x0050, 0x0055,
                              0x674F, 0x6750, 0x6751, 0xFFFE, 0xF1AC, 0xF1AD, 0x704F};
constexpr uint32_t kRates[] = {8000, 11025, 22050, 32000, 44100, 48000};

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    // Header of the input: tag, channels, rate, block align, bits, extra length.
    std::vector<uint8_t> format(18, 0);
    put16(format, 0, kTags[data[0] % std::size(kTags)]);
    put16(format, 2, uint16_t(1 + (data[1] & 1)));
    const uint32_t rate = kRates[data[2] % std::size(kRates)];
    for (int i = 0; i < 4; ++i) format[4 + i] = uint8_t(rate >> (8 * i));
    put16(format, 8, 16000);
    put16(format, 12, uint16_t(data[3] | data[4] << 8));
    put16(format, 14, uint16_t(data[5] % 65));
    const size_t extra = std::min<size_t>(data[6] % 48, size - 8);
    put16(format, 16, uint16_t(extra));
    format.insert(format.end(), data + 8, data + 8 + extra);
    const uint8_t block_seed = data[7];
    data += 8 + extra;
    size -= 8 + extra;

    std::unique_ptr<dl::Converter> c;
    if (dl::Converter::open(format, c) != dl::kConvertOk) return 0;
    uint32_t probe = 0;
    c->size_for_destination(1u << 20, probe);
    std::vector<uint8_t> dst;
    size_t block = 1 + block_seed * 37;
    for (size_t at = 0; at < size; at += block) {
        const size_t n = std::min(block, size - at);
        uint32_t cap = 0;
        c->size_for_source(uint32_t(n), cap);
        cap = std::min<uint32_t>(cap, 1u << 22);
        dst.assign(cap, 0);
        uint32_t used = 0;
        c->convert(data + at, uint32_t(n), dst.data(), cap, used);
        if (used > cap) __builtin_trap();
        block = 1 + (block * 7 + 13) % 5000;
    }
    // The input ends: what a decoder held back comes out, within the destinations given.
    c->end_input();
    dst.assign(1u << 16, 0);
    for (uint32_t used = 1; used > 0;) {
        c->convert(nullptr, 0, dst.data(), uint32_t(dst.size()), used);
        if (used > dst.size()) __builtin_trap();
    }
    return 0;
}
