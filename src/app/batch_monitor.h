#pragma once
#include <string>
#include <vector>

namespace dl {

// dewlark --monitor [--seconds S] [--device NAME] [--set KEY=VALUE]... [--png OUT.png]: monitors the
// input as the window does, in real time, and prints a CSV row per analysed block as it comes,
// until S seconds of sound have been analysed or SIGINT/SIGTERM arrives. Rows keep the time their
// sound was heard at; a gap in the input is said on standard error with its length. Returns the
// exit status.
int RunMonitorCommand(const std::vector<std::string>& args);

// dewlark --list-devices: the output and input devices, "out: NAME" and "in: NAME" a line.
int RunListDevicesCommand();

}  // namespace dl
