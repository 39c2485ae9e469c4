#include "platform/wave_format_query.h"

#include "platform/converter.h"
#include "platform/wave_format.h"

namespace dl {

int wave_out_query(const std::vector<uint8_t>& record) {
    WaveFormat f;
    if (!parse_wave_format(record, f)) return kWaveQueryBadFormat;
    if (is_device_pcm(f) || Converter::can_decode(record)) return kWaveQueryOk;
    return kWaveQueryBadFormat;
}

}  // namespace dl
