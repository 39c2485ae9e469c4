#include "audio/played_sound.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "state/run.h"

namespace dl {

void ResetPlayedSound(uint32_t bytes_per_second, double seconds, uint64_t extra) {
    PlayedHistoryEnd = 0;
    const uint64_t size = uint64_t(bytes_per_second * seconds) + extra;
    try {
        PlayedHistory.assign(size_t(std::max<uint64_t>(size, 1)), 0);
    } catch (const std::bad_alloc&) {
        // Without the room the buffers themselves are analysed, as without a delay to make up.
        std::vector<uint8_t>().swap(PlayedHistory);
    }
}

void FreePlayedSound() {
    std::vector<uint8_t>().swap(PlayedHistory);
    PlayedHistoryEnd = 0;
}

void KeepPlayedSound(uint64_t offset, const uint8_t* data, uint32_t n) {
    const size_t size = PlayedHistory.size();
    if (size == 0) return;
    // Silence in between; bytes kept already stay as they are.
    for (; PlayedHistoryEnd < offset; ++PlayedHistoryEnd) PlayedHistory[size_t(PlayedHistoryEnd % size)] = 0;
    const uint64_t skip = PlayedHistoryEnd - offset;
    if (skip >= n) return;
    data += skip;
    n -= uint32_t(skip);
    if (n > size) {
        data += n - size;
        PlayedHistoryEnd += n - size;
        n = uint32_t(size);
    }
    const size_t at = size_t(PlayedHistoryEnd % size);
    const size_t first = std::min<size_t>(n, size - at);
    std::memcpy(PlayedHistory.data() + at, data, first);
    std::memcpy(PlayedHistory.data(), data + first, n - first);
    PlayedHistoryEnd += n;
}

bool CopyPlayedSound(uint64_t offset, uint8_t* out, uint32_t n) {
    const size_t size = PlayedHistory.size();
    if (size == 0 || offset + n > PlayedHistoryEnd || PlayedHistoryEnd - offset > size) return false;
    const size_t at = size_t(offset % size);
    const size_t first = std::min<size_t>(n, size - at);
    std::memcpy(out, PlayedHistory.data() + at, first);
    std::memcpy(out + first, PlayedHistory.data(), n - first);
    return true;
}

uint64_t HeardBlockStart(uint64_t buffer_start, bool device_knows, uint64_t device_heard, uint32_t offset_ms,
                         uint32_t bytes_per_second, uint32_t align) {
    uint64_t heard = device_knows ? std::min(device_heard, buffer_start) : buffer_start;
    const uint64_t later = uint64_t(bytes_per_second) * offset_ms / 1000;
    if (heard == buffer_start && later == 0) return buffer_start;
    heard = heard > later ? heard - later : 0;
    if (align > 1) heard -= heard % align;
    return heard;
}

}  // namespace dl
