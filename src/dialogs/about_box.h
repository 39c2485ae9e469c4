#pragma once
#include <string>

namespace dl {

// The About box (command 105): name and version, the build, the word size and the device counts.
int RunAboutBox();

// "record device= 1  play device= 2", or its Japanese form.
std::string DeviceCountLine(int record_devices, int play_devices);

}  // namespace dl
