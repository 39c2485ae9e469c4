#pragma once
#include <cstdint>
#include <vector>

namespace dl {

// Shows the name of a known converter result code in a box captioned with the operation;
// 1 when shown, 0 for any other code.
int ShowMultimediaError(int code, const char* caption);

// Opens the conversion stream for the (compressed) source record and sizes it; on success the
// record has been rewritten to PlaybackFormat, ConversionStream is set and true is returned.
// False: no conversion, the record is left as it was.
bool OpenConversion(std::vector<uint8_t>& record);

// Gives the stream its input buffer (slot 5) of `source_bytes` bytes. False after a reported
// failure; the caller abandons the play.
bool PrepareConversionInput(uint32_t source_bytes);

// Memory mode: converts the n source bytes in slot 5 into slot `slot`, from its start; returns the
// bytes written. The slot's storage grows (and its SampleBuffers pointer follows) as far as the
// sound goes, up to ConvertedSize; sound beyond that stays in the stream (ConversionPending).
uint32_t ConvertOnce(uint32_t n, int slot);
// What the open source's header says its sound converts to, with a margin, at most `most`: the
// room memory mode takes first.
uint32_t ExpectedConvertedBytes(uint32_t most);

// Streaming: slot `slot` gets the next time slice of sound (ConvertedSize bytes; less only at the
// stream's end): what waits in the stream first, then the file's bytes, ChunkSize at a time, until
// the slice is full. Reading stops once `quiet_limit` bytes have given no sound.
struct SliceFill {
    uint32_t bytes = 0;       // sound written
    uint32_t file_bytes = 0;  // read from the file for it
    bool short_read = false;  // the file ended before its length: the stream ends here
};
SliceFill ConvertSlice(int slot, uint64_t quiet_limit);
// True while the stream holds sound that no buffer has taken yet.
bool ConversionPending();

// True once the stream has switched rate or channels: what follows is not played.
bool ConversionFormatChanged();

// Closes the stream and frees slot 5.
void CloseConversion();

// The 45/49 floor of the destination capacity for MPEG layer-3 sources.
uint32_t Layer3ConvertedFloor(uint32_t converted_size, uint32_t chunk_size, int khz);

// Bytes one time slice (BlockBytes) spans in a stream of `bytes_per_second` bytes at `rate` Hz with
// format tag `tag`: `deltatime` samples at the base rate of the rate's family (11025 or 8000 Hz).
uint32_t SliceBytes(uint32_t bytes_per_second, uint32_t rate, uint16_t tag, uint32_t deltatime);

}  // namespace dl
