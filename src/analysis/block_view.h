#pragma once
// One block of sound as the analysis is handed it: where its samples are, how many bytes, where it
// lies in the sound and what its analysis is for. The analysis reads the block through this view
// and keeps no pointer to it.
#include <cstdint>

namespace dl {

// With the picture on its own clock, the buffers' blocks are the analysis the rows, the meters, the
// tracker and the voice pointer follow, undrawn; the picture clock's blocks are pictures only, which
// change none of that.
enum class AnalysisPurpose { Both, RowsOnly, PictureOnly };

// Where a block lies in the sound when the caller does not say: right after the last one.
inline constexpr uint64_t kBlockFollows = ~uint64_t(0);

struct BlockView {
    const uint8_t* data = nullptr;  // interleaved PCM in the source's layout
    uint32_t bytes = 0;
    double seconds = 0;              // where the block starts in the sound
    uint64_t offset = kBlockFollows;  // and the byte it starts at
    AnalysisPurpose purpose = AnalysisPurpose::Both;
    // The level scan reads every scan_stride-th sample at most (the run tunes it to the ticks' time).
    uint32_t scan_stride = 1;
};

}  // namespace dl
