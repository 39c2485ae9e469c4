#pragma once
#include <cstdint>

#include "platform/dc.h"
#include "state/analysis.h"
#include "state/meters.h"

namespace dl {

// Timer period in ms for deltatime samples at the base rate of the family, slowed by the rate factor.
uint32_t MemoryTimerPeriod(uint32_t deltatime, int khz, double rate_factor);
void StartMemoryTimer(double rate_factor);

// The block at the device's position, analysed from one buffer holding the whole sound.
void TimerTick(Dc& dc, uint32_t now);
// Timer 1 as the window's timer (or a batch run's clock) gives it: TimerTick on `dc` (by default a
// window context of its own) in the panel's font and colours.
void RunTimerTick(Dc& dc, uint32_t now);
void RunTimerTick(uint32_t now);

// A tick's block of `byte_count` bytes of slot `slot`, measured (MeasureTickBlock), presented
// (PresentBlock) and handed to the AnalysisObserver with its start (`seconds` from the source's
// start); the level scan's stride follows the one it used. The block lies `offset` bytes into the
// sound when the caller knows it (memory mode's blocks may overlap; the meter strip meters no sound
// twice).
const BlockAnalysis& AnalyseTickBlock(Dc& dc, int slot, uint32_t byte_count, double seconds,
                                      uint64_t offset = kBlockFollows);
// A completion's paced wait: until `wait_ms` have passed since the previous one ended.
void PaceTick(uint32_t wait_ms);

// The expected tick length in ms for the current source and mode.
uint32_t ExpectedTickMs();
// One step of the level-scan stride for a tick that came `interval` ms after the previous one and
// took `busy` ms, against the expected length e.
uint32_t TunedStride(uint32_t stride, int64_t interval, int64_t busy, uint32_t e, bool record);
void TuneLevelStride(uint32_t tick_start);

}  // namespace dl
