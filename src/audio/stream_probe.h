#pragma once
#include <cstdint>

namespace dl {

// Results of the stream probes.
enum ProbeResult {
    kProbeRecognised,   // the format record is built
    kProbeFailed,       // reported already, source file closed
    kProbeNotThisKind,  // another probe may know the stream
};

// One MPEG audio frame header.
struct MpegHeader {
    uint32_t raw = 0;  // the four bytes, first one most significant
    int version = 0;   // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int layer = 0;     // 1, 2 or 3
    bool crc = false;  // a 16-bit CRC follows the header
    int bitrate_index = 0;
    int rate_index = 0;
    int padding = 0;
    int channel_mode = 0;  // 3 single channel
    int kbps = 0;
    uint32_t rate = 0;
};

enum class MpegHeaderCheck { Ok, BadSync, BadLayer, BadRate };
// Decodes four bytes; free-format (bit-rate index 0) and index 15 count as a bad sync.
MpegHeaderCheck ParseMpegHeader(const uint8_t* b, MpegHeader& h);
// Length in bytes of a frame of this version, layer, bit rate, rate and padding.
uint32_t MpegFrameLength(int version, int layer, int kbps, uint32_t rate, int padding);

// Builds the MPEG format record from the stream at the source file's current position. For a
// `whole_file` stream the sound's extent (DataStart, DataTotal) leaves out the tags in front and
// behind, and a stream whose bit rate varies gets its average rate from its frames.
ProbeResult ProbeMpegStream(bool whole_file);
// Builds the Ogg Vorbis format record from the first page at `offset`; the stream is the rest of
// the file, and its byte rate the average that gives its exact length.
ProbeResult ProbeOggStream(uint64_t offset);

// The stream's bytes, all still to come.
void SetStreamLength(uint64_t n);
// The byte rate that makes the stream (DataTotal bytes) last `seconds`: its average; 0 for none.
uint32_t AverageByteRate(double seconds);

// The bytes of the ID3v1 and APE tags at the end of a file (not sound).
class RiffFile;
uint64_t TrailingTagBytes(RiffFile& f);

// What the pages of an Ogg stream with the given serial number say: how many bytes its
// `header_packets` header packets take from `offset` on (0: not all found), and the sum of the
// last granule positions of its links (0: none found); for Opus, the pre-skips of the links
// that sum covers (their granule positions count what the decoder drops). A chain whose link
// changes the format plays only the links before it: the sum stops there, and `played_bytes`
// (else 0) is how far they reach from `offset`.
struct OggExtent {
    uint64_t header_bytes = 0;
    uint64_t last_granule = 0;
    uint64_t opus_pre_skip = 0;
    uint64_t played_bytes = 0;
};
OggExtent MeasureOggStream(RiffFile& f, uint64_t offset, uint32_t serial, int header_packets = 3);

}  // namespace dl
