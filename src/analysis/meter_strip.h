#pragma once
#include <cstdint>

#include "analysis/analysis_params.h"
#include "analysis/block_view.h"
#include "analysis/level_meters.h"

namespace dl {

// Whether the blocks are metered at all: for the meter strip, the batch rows' loudness columns or a
// loudness run.
bool MeterStripWanted(const AnalysisParams& params);

// A new run: the meters start from silence with the next block, in the layout it brings.
void ResetMeterStrip(LevelMetersRecord& meters);
// The user's reset (a key, a click on the strip): the loudness, the largest samples and the held
// marks start again; the bars go on.
void ResetLoudness(const AnalysisParams& params, LevelMetersRecord& meters);

// Meters the part of the block not metered yet: `bytes` of interleaved PCM in the open source's
// layout, starting `offset` bytes into the sound (kBlockFollows: where the last block ended). The
// readings after it go into `out` and the meters' `last`.
void MeterBlock(const AnalysisParams& params, LevelMetersRecord& meters, const uint8_t* data, uint32_t bytes,
                uint64_t offset, MeterStripReading& out);

}  // namespace dl
