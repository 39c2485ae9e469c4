// Helpers shared by the converter tests: fixture files, the format records
// the reader would build for them, and running a converter over a byte stream.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/converter.h"
#include "platform/wave_format.h"

namespace conv_test {

using Bytes = std::vector<uint8_t>;

inline Bytes load_path(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline Bytes load(const std::string& name) { return load_path(std::string(DEWLARK_TEST_DATA) + "/" + name); }

inline void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
inline void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

struct Source {
    Bytes format;  // the format record handed to Converter::open
    Bytes data;    // the stream the converter is fed
};

// WAV: the "fmt " chunk as the record, the "data" chunk as the stream.
inline Source wav_source(const Bytes& file) {
    Source s;
    for (size_t at = 12; at + 8 <= file.size();) {
        const uint32_t size = dl::le32(&file[at + 4]);
        const size_t body = at + 8;
        const size_t end = std::min(file.size(), body + size);
        if (std::equal(file.begin() + at, file.begin() + at + 4, "fmt ")) s.format.assign(file.begin() + body, file.begin() + end);
        if (std::equal(file.begin() + at, file.begin() + at + 4, "data")) s.data.assign(file.begin() + body, file.begin() + end);
        at = body + size + (size & 1);
    }
    return s;
}

// The 30-byte record of an MPEG stream: only tag, channels and rate matter here.
inline Bytes mpeg_record(uint32_t rate, uint16_t channels) {
    Bytes r(30, 0);
    put16(r, 0, 0x0055);
    put16(r, 2, channels);
    put32(r, 4, rate);
    put32(r, 8, 16000);
    put16(r, 12, 1);
    put16(r, 16, 12);
    return r;
}

// The 28-byte Ogg record, from the identification page as the reader takes it.
inline Bytes ogg_record(const Bytes& file) {
    Bytes r(28, 0);
    put16(r, 0, 0x674F);
    put16(r, 2, file[39]);
    put32(r, 4, dl::le32(&file[40]));
    put32(r, 8, dl::le32(&file[48]) / 8);
    put16(r, 12, uint16_t(file[39] * 2));
    put16(r, 14, 16);
    put16(r, 16, 8);
    put32(r, 20, 0x20001214);
    put32(r, 24, 0x20001031);
    return r;
}

inline std::unique_ptr<dl::Converter> open_or_fail(const Bytes& format) {
    std::unique_ptr<dl::Converter> c;
    EXPECT_EQ(dl::Converter::open(format, c), dl::kConvertOk);
    return c;
}

// Feeds `data` in blocks of the sizes `next_block` gives, with a capacity of
// size_for_source for each block, and checks that bound on the way.
inline Bytes convert_all(dl::Converter& c, const Bytes& data,
                         const std::function<size_t()>& next_block) {
    Bytes out, dst;
    for (size_t at = 0; at < data.size();) {
        const size_t n = std::min(next_block(), data.size() - at);
        uint32_t cap = 0;
        EXPECT_EQ(c.size_for_source(uint32_t(n), cap), dl::kConvertOk);
        dst.assign(cap, 0);
        uint32_t used = 0;
        EXPECT_EQ(c.convert(data.data() + at, uint32_t(n), dst.data(), cap, used), dl::kConvertOk);
        EXPECT_LE(used, cap);
        out.insert(out.end(), dst.begin(), dst.begin() + used);
        at += n;
    }
    return out;
}

inline Bytes convert_whole(const Bytes& format, const Bytes& data) {
    auto c = open_or_fail(format);
    if (!c) return {};
    return convert_all(*c, data, [&] { return data.size(); });
}

// Largest difference between two 16-bit streams; -1 when the lengths differ.
inline int max_sample_difference(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i + 1 < a.size(); i += 2) {
        const int x = int16_t(a[i] | a[i + 1] << 8);
        const int y = int16_t(b[i] | b[i + 1] << 8);
        worst = std::max(worst, std::abs(x - y));
    }
    return worst;
}

}  // namespace conv_test
