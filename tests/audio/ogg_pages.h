#pragma once
// Ogg pages for the tests: the checksum a page must carry.
#include <cstdint>
#include <string>

namespace play_test {

inline uint32_t ogg_crc(const std::string& page) {
    uint32_t crc = 0;
    for (char c : page) {
        crc ^= uint32_t(uint8_t(c)) << 24;
        for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// Writes the checksum of the page that starts `page` (its header's field zeroed first).
inline void seal_ogg_page(std::string& page) {
    for (int i = 0; i < 4; ++i) page[22 + i] = 0;
    const uint32_t crc = ogg_crc(page);
    for (int i = 0; i < 4; ++i) page[22 + i] = char(crc >> (8 * i));
}

// The length of the page at `at` in a stream.
inline size_t ogg_page_length(const std::string& stream, size_t at) {
    const int segments = uint8_t(stream[at + 26]);
    size_t body = 0;
    for (int i = 0; i < segments; ++i) body += uint8_t(stream[at + 27 + i]);
    return 27 + segments + body;
}

}  // namespace play_test
