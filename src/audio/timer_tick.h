#pragma once
#include <cstdint>

#include "platform/dc.h"
#include "state/analysis.h"

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

// A tick's block, measured by the run's analyser with the settings of the moment, presented
// (PresentBlock) and handed to the AnalysisObserver (a picture's to the PictureObserver) with its
// start; the level scan reads it with the run's stride, which then follows the one it used. The
// block lies `offset` bytes into the sound when the caller knows it (memory mode's blocks may
// overlap; the meter strip meters no sound twice). What the analysis asks of the pointer is done,
// what the transform had to say is said, and an analysis that had to stop ends the program.
const BlockAnalysis& AnalyseTickBlock(Dc& dc, BlockView block);
// A completion's paced wait: until `wait_ms` have passed since the previous one ended.
void PaceTick(uint32_t wait_ms);

// The expected tick length in ms for the current source and mode.
uint32_t ExpectedTickMs();
// One step of the level-scan stride for a tick that came `interval` ms after the previous one and
// took `busy` ms, against the expected length e.
uint32_t TunedStride(uint32_t stride, int64_t interval, int64_t busy, uint32_t e, bool record);
void TuneLevelStride(uint32_t tick_start);

}  // namespace dl
