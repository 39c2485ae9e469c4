#pragma once
// The monitored input's own time: the sound recorded, and the gaps the input device tells of, each
// said as it is found. A row keeps the time its sound was heard at, the gaps before it counted.
#include <cstdint>
#include <string>

#include "platform/wave_in.h"

namespace dl {

// A new monitor: nothing recorded, no gap.
void BeginInputTimeline();
// Takes the gaps the input device has found since the last call, keeps them in the run's record and
// says each (InputGapReport, and the source panel's line). A monitor that ends leaves out those
// beyond `heard_up_to`, the recorded sound it took: its rows never reach them.
void TakeInputGaps(uint64_t heard_up_to = UINT64_MAX);
// Seconds from the monitor's start to the recorded byte `offset`, with the gaps before it.
double InputSeconds(uint64_t offset);
// What is said of a gap that begins `at_seconds` into the monitor.
std::string InputGapText(const CaptureGap& gap, double at_seconds);

}  // namespace dl
