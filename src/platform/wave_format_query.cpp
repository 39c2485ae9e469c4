#include "platform/wave_format_query.h"

#if __has_include("platform/converter.h")
#include "platform/converter.h"
#define DEWLARK_HAVE_CONVERTER 1
#endif

namespace dl {

namespace {

uint32_t le(const std::vector<uint8_t>& r, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | r[at + size_t(i)];
    return v;
}

bool device_plays(const std::vector<uint8_t>& r) {
    if (r.size() < 16) return false;
    const uint32_t tag = le(r, 0, 2), channels = le(r, 2, 2), rate = le(r, 4, 4), align = le(r, 12, 2),
                   bits = le(r, 14, 2);
    return tag == 1 && (bits == 8 || bits == 16) && (channels == 1 || channels == 2) &&
           align == channels * bits / 8 && rate >= 1000 && rate <= 384000;
}

}  // namespace

int wave_out_query(const std::vector<uint8_t>& record) {
    if (device_plays(record)) return kWaveQueryOk;
#ifdef DEWLARK_HAVE_CONVERTER
    if (record.size() >= 16 && Converter::can_decode(record)) return kWaveQueryOk;
#endif
    return kWaveQueryBadFormat;
}

}  // namespace dl
