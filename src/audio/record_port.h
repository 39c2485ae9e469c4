#pragma once
#include <cstdint>

#include "audio/result.h"
#include "state/settings.h"

namespace dl {

// The record port as the source: builds the PCM record from `freq`, `channel` and `bits`, shows it,
// and asks the input device whether it can record it. Done when it can; otherwise the answer has
// been reported and the source closed.
Result OpenRecordPort();
// Start in record mode: four capture buffers of one time slice each, or one of `MemSize` MiB
// analysed at the device position by timer 1. Done while it monitors.
Result StartMonitoring();
// Stop in record mode: the device returns its buffers and the first one back ends the monitor.
void StopMonitoring();
// A filled (or returned) capture buffer: `header` as the device reported it.
void RecordTick(int header);

// Whether the input device can record `format`: kWaveOk or the device's answer. A monitor records in
// its own rate and channels, and `format` is fitted to it first.
int CheckRecordFormat(RecordFormatChoice& format);
// The answer of the format check as its message.
const char* RecordPortQueryText(int result);
// The wait of a capture completion before its buffer is analysed, in ms (0: none).
uint32_t RecordPacingWaitMs(uint32_t deltatime, int khz);

}  // namespace dl
