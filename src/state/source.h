#pragma once
// The source: what the open file (or the record port) is, and the file itself.
// Written by: audio (opening and closing the source, the reads of a run)
// Read by: every layer above state
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/riff.h"

namespace dl {

// Which source PLAY starts, and whether a run (playing or monitoring) goes on.
// Written by: audio (choosing the source, a run starting and ending)
enum class SourceMode { None, File, RecordPort };
struct SourceStateRecord {
    SourceMode mode = SourceMode::None;
    bool running = false;  // playing or monitoring
};
inline SourceStateRecord SourceState;

// Facts derived from the open source's format record.
struct SourceInfoRecord {
    uint16_t format_tag = 0;  // the source's own tag, kept when the record is rewritten to PCM
    uint32_t sample_rate = 0;
    int32_t khz = 0;  // (rate + 500) / 1000; not a multiple of 11 selects the 8000 Hz family
    uint32_t source_bytes_per_second = 0;
    uint32_t output_bytes_per_second = 0;
    int32_t bits = 0;
    int32_t block_align = 0;
    int32_t ChannelLayout = 0;  // 0 mono 8-bit, 1 mono 16-bit, 2 stereo 8-bit, 3 stereo 16-bit
    uint32_t DataRemaining = 0;
    uint32_t DataTotal = 0;
    // A stream without RIFF chunks: where in the file its sound begins, and how many bytes of it
    // are header packets before any sound (Ogg).
    uint64_t DataStart = 0;
    uint32_t HeaderBytes = 0;
    // The sound's exact length in seconds where the stream tells it (frames, granule positions);
    // 0: only the byte rate estimates it.
    double ExactSeconds = 0;
    // The length the file's header gives (a WAVE data chunk's size, FLAC's sample count, the last
    // granule position of Ogg), to tell a file that ends early; 0 where it gives none.
    double PromisedSeconds = 0;
    // How much shorter the decoded sound may be without anything missing (a decoder's last packet).
    double PromiseSlackSeconds = 0;
};
inline SourceInfoRecord SourceInfo;

// The format record of the open source (see platform/wave_format.h). Empty when none is held.
inline std::vector<uint8_t> SourceFormat;
inline bool SourceFormatHeld = false;

// The volume holding the source file.
struct DiskSpaceRecord {
    uint32_t bytes_per_cluster = 0;
    uint32_t total = 0;
    uint32_t free = 0;
};
inline DiskSpaceRecord DiskSpace;

// The open source file (null when none) and its two chunk records: the outer RIFF chunk and the
// current sub-chunk. Valid while the file is open.
inline std::unique_ptr<RiffFile> SourceFile;
inline RiffChunk SourceRiffChunk;
inline RiffChunk SourceSubChunk;

}  // namespace dl
