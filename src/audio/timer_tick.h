#pragma once
#include <cstdint>

#include "platform/dc.h"

namespace dl {

// Timer period in ms for deltatime samples at the base rate of the family, slowed by the rate factor.
uint32_t MemoryTimerPeriod(uint32_t deltatime, int khz, double rate_factor);
void StartMemoryTimer(double rate_factor);

// The block at the device's position, analysed from one buffer holding the whole sound.
void TimerTick(Dc& dc, uint32_t now);

// The expected tick length in ms for the current source and mode.
uint32_t ExpectedTickMs();
// One step of the level-scan stride for a tick that came `interval` ms after the previous one and
// took `busy` ms, against the expected length e.
uint32_t TunedStride(uint32_t stride, int64_t interval, int64_t busy, uint32_t e, bool record);
void TuneLevelStride(uint32_t tick_start);

}  // namespace dl
