#pragma once
// The ticks' clock: when the run's ticks came and are due, the pacing of completions, memory mode's
// timer 1 and device position, the picture's own timer 2, and the level scan's stride tuned to the
// tick's length.
// Written by: audio (the start routines, the completions, the timer ticks)
// Read by: display (the position line, the held peaks' fall), app (batch runs
// drive timer 1)
#include <cstdint>

namespace dl {

struct TickClockRecord {
    // Every how many samples the level scan reads one, tuned to the time the ticks take.
    uint32_t LevelScanStride = 1;
    // Completions wait for their time (off while Shift is held as Start is pressed, and in batch runs).
    bool TickPacing = true;
    // The play rate as a factor of the device's sample rate (below 1 slows down).
    double RateFactor = 1.0;
    // When the previous paced wait ended.
    uint32_t LastTickTime = 0;
    // Start of the previous analysed tick, for the stride tuning.
    uint32_t PreviousTickStart = 0;
    // Memory mode: when timer 1 was started, its period, and how far the ticks have analysed slot 0.
    uint32_t StartTime = 0;
    uint32_t TimerPeriod = 0;
    int32_t LastAnalysedEnd = 0;
    // When the timer was started and up to when the last tick measured; both are set together at the
    // start, so their difference is 0 until a tick advances the second.
    uint32_t TimerStartStamp = 0;
    uint32_t TimerElapsedStamp = 0;
    // 1 while no timer tick is in progress.
    int TimerReentry = 1;
    // Old platforms report a stuck position: the last one seen and when.
    uint32_t PreviousDevicePosition = 0;
    uint32_t PreviousDevicePositionTime = 0;
    // Memory-mode monitoring: the device position (ms) the last timer tick read, and the one the last
    // recount of a returned buffer's bytes went up to.
    double TimerDevicePositionMs = 0;
    double RecordRecountPositionMs = 0;
    // A streaming play at an update rate: timer 2's period in ms (0 while it does not run), and the
    // start of the block its last tick analysed (output bytes from the play's start).
    uint32_t DisplayPeriod = 0;
    uint64_t DisplayBlockStart = 0;
    // What share of a time slice a picture stands for (1 a picture a slice): held marks fall by time.
    double PictureShareOfSlice = 1.0;
};
inline TickClockRecord TickClock;

// The names the program uses for the record's fields.
inline auto& LevelScanStride = TickClock.LevelScanStride;
inline auto& TickPacing = TickClock.TickPacing;
inline auto& RateFactor = TickClock.RateFactor;
inline auto& LastTickTime = TickClock.LastTickTime;
inline auto& PreviousTickStart = TickClock.PreviousTickStart;
inline auto& StartTime = TickClock.StartTime;
inline auto& TimerPeriod = TickClock.TimerPeriod;
inline auto& LastAnalysedEnd = TickClock.LastAnalysedEnd;
inline auto& TimerStartStamp = TickClock.TimerStartStamp;
inline auto& TimerElapsedStamp = TickClock.TimerElapsedStamp;
inline auto& TimerReentry = TickClock.TimerReentry;
inline auto& PreviousDevicePosition = TickClock.PreviousDevicePosition;
inline auto& PreviousDevicePositionTime = TickClock.PreviousDevicePositionTime;
inline auto& TimerDevicePositionMs = TickClock.TimerDevicePositionMs;
inline auto& RecordRecountPositionMs = TickClock.RecordRecountPositionMs;
inline auto& DisplayPeriod = TickClock.DisplayPeriod;
inline auto& DisplayBlockStart = TickClock.DisplayBlockStart;
inline auto& PictureShareOfSlice = TickClock.PictureShareOfSlice;

}  // namespace dl
