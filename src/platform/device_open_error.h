#pragma once
// Why a sound device would not open, from the sound system's own words.

namespace dl {

// The result code of the wave operations for a device that failed to open with the sound system's
// error text `why`, while it lists `devices` devices of that direction: in use, no such device, no
// sound system to reach (a server gone), no memory, or an unknown error.
int open_failure_code(const char* why, int devices);

}  // namespace dl
