#pragma once
// What a file playback and a record-port monitoring share: the phases of a start, the wave
// buffers, the events the window shows, and the one way every run ends.
#include <cstdint>
#include <vector>

#include "audio/result.h"
#include "platform/wave_header.h"
#include "state/hooks.h"

namespace dl {

// Tells the window (RunObserver) how the run goes.
void ReportRunEvent(RunEvent event);

// The first phase of every start: the pitch history, the spectrogram, the meter strip's meters and
// the last run's device loss are forgotten.
void BeginRun();
// Buffer sizes for the format record; BufferCount is already chosen.
void ComputeBufferSizes(const std::vector<uint8_t>& record);
// Starting stride of the level scan for a source rate and channel count.
uint32_t InitialLevelScanStride(uint32_t rate, int channels, int buffer_count);
// Sizing, once BufferCount is chosen: the buffer sizes from the source's record (ComputeBufferSizes),
// the level scan's first stride and the level meter's style.
void SizeRun();
// The wave buffers of a run, silent: BufferCount of `size` bytes, or in memory mode the sound's one
// buffer (only reserved, at `reserve` bytes, when the sound grows into it as it converts) and the
// block slot. False after the shortage was reported; what was taken stays for EndRun.
bool AllocateWaveBuffers(uint32_t size, uint8_t silence, uint32_t reserve = 0);
// Slot `slot`'s header, fresh, over its buffer's first `length` bytes.
WaveHeader& FreshWaveHeader(int slot, uint32_t length);
void FreeWaveBuffers();

// A start that failed in one of its phases ends here: through EndRun, giving the controls back
// once the start had taken them (RunEvent::Taken).
Result FailedStart(bool controls_taken);

// Timer 1 of memory mode.
void KillMemoryTimer();

// Every way a run ends (its last buffer back, STOP, a start that failed, a device lost, the
// source closed): the timer, the device (after returning what it still holds), the buffers, the
// conversion and the file go, the screen saver may come again and the priority is normal.
// `restore_controls` gives PLAY and the menus back (RunEvent::Ended, else Closed); not while the
// window goes away or when the start failed before taking them.
void EndRun(bool restore_controls);

}  // namespace dl
