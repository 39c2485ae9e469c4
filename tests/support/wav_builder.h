#pragma once
// Sound files built byte by byte: RIFF chunks and WAVE files with any header a test needs.
#include <cstdint>
#include <string>

namespace dl_test {

inline std::string u16le(uint32_t v) { return {char(v & 0xff), char((v >> 8) & 0xff)}; }
inline std::string u32le(uint32_t v) { return u16le(v & 0xffff) + u16le(v >> 16); }
inline std::string be32(uint32_t v) { return {char(v >> 24), char((v >> 16) & 0xff), char((v >> 8) & 0xff), char(v & 0xff)}; }

// A chunk; `declared` overrides the size field, `pad` adds the pad byte of an odd size.
inline std::string chunk(const std::string& id, const std::string& body, int64_t declared = -1, bool pad = true) {
    std::string c = id + u32le(declared < 0 ? uint32_t(body.size()) : uint32_t(declared)) + body;
    if (pad && (body.size() & 1)) c += '\0';
    return c;
}

inline std::string riff(const std::string& form, const std::string& chunks, int64_t declared = -1) {
    return "RIFF" + u32le(declared < 0 ? uint32_t(chunks.size() + 4) : uint32_t(declared)) + form + chunks;
}

// The 16-byte format record of plain PCM (format tag 1, or `tag`); align and byte rate follow from
// the rest unless given.
inline std::string pcm_fmt(uint32_t channels, uint32_t rate, uint32_t bits, int64_t align = -1, int64_t bps = -1,
                           uint32_t tag = 1) {
    const uint32_t a = align < 0 ? channels * bits / 8 : uint32_t(align);
    const uint32_t b = bps < 0 ? rate * a : uint32_t(bps);
    return u16le(tag) + u16le(channels) + u32le(rate) + u32le(b) + u16le(a) + u16le(bits);
}

// A WAVE file of a format record and data; the data chunk of an odd size gets its pad byte unless
// `pad` is false (the file ends with the data).
inline std::string wave(const std::string& fmt_body, const std::string& data, bool pad = true) {
    return riff("WAVE", chunk("fmt ", fmt_body) + chunk("data", data, -1, pad));
}

// A plain PCM WAVE file as recorders write it: the 16-byte format record, the data, nothing after.
inline std::string pcm_wav(uint32_t channels, uint32_t rate, uint32_t bits, const std::string& data) {
    return wave(pcm_fmt(channels, rate, bits), data, false);
}

}  // namespace dl_test
