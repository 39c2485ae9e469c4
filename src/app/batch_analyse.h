#pragma once
#include <string>
#include <vector>

namespace dl {

// dewlark --analyse FILE [--set KEY=VALUE]... [--png OUT.png]: plays FILE through a device without
// sound as fast as the machine allows and prints one CSV row per analysed block. Returns the exit
// status.
int RunAnalyseCommand(const std::vector<std::string>& args);

}  // namespace dl
