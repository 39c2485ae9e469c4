#pragma once
#include <cstdint>

namespace dl {

// Memory mode: when the timer was started and up to when the last tick measured; both are set
// together at the start, so their difference is 0 until a tick advances the second.
inline uint32_t TimerStartStamp = 0;
inline uint32_t TimerElapsedStamp = 0;

}  // namespace dl
