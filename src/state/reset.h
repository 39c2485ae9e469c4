#pragma once

namespace dl {

// Puts every process-wide record back as the program starts with it: settings at their defaults,
// no window, no source, no device, no hooks. For tests and batch runs, with no play or monitor
// running (devices still open are closed without their completions).
void ResetProcessState();

}  // namespace dl
