#include "audio/pcm_floats.h"

#include <algorithm>
#include <iterator>

namespace dl {

void PassPcmAsFloats(const uint8_t* data, uint32_t bytes, bool sixteen,
                     const std::function<void(const float* samples, size_t count)>& to) {
    if (!data || !to) return;
    const size_t count = sixteen ? bytes / 2 : bytes;
    float samples[4096];
    for (size_t at = 0; at < count;) {
        const size_t n = std::min(count - at, std::size(samples));
        for (size_t k = 0; k < n; ++k, ++at)
            samples[k] = sixteen ? float(int16_t(uint16_t(data[2 * at] | data[2 * at + 1] << 8))) / 32768.f
                                 : float(int(data[at]) - 128) / 128.f;
        to(samples, n);
    }
}

}  // namespace dl
