#include "platform/wave_format_query.h"

#include "platform/converter.h"
#include "platform/wave_format.h"

namespace dl {

int wave_out_query(const std::vector<uint8_t>& record) {
    WaveFormat f;
    if (!parse_wave_format(record, f)) return kWaveBadFormat;
    if (is_device_pcm(f) || Converter::can_decode(record)) return kWaveOk;
    return kWaveBadFormat;
}

}  // namespace dl
