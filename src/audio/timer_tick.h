#pragma once
#include <cstdint>
#include <functional>

#include "platform/dc.h"
#include "platform/wave_out.h"

namespace dl {

// Memory mode: when timer 1 was started, its period, and how far the ticks have analysed slot 0.
inline uint32_t StartTime = 0;
inline uint32_t TimerPeriod = 0;
inline int32_t LastAnalysedEnd = 0;
// 1 while no timer tick is in progress.
inline int TimerReentry = 1;
// Start of the previous analysed tick, for the stride tuning.
inline uint32_t PreviousTickStart = 0;
// Old platforms report a stuck position: the last one seen and when.
inline uint32_t PreviousDevicePosition = 0;
inline uint32_t PreviousDevicePositionTime = 0;

// The record port's device position (installed by the monitor); false when unknown.
inline std::function<int(DevicePosition&)> RecordPositionQuery;

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
