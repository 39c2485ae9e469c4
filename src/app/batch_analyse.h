#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "state/analysis.h"

namespace dl {

// dewlark --analyse FILE [--set KEY=VALUE]... [--png OUT.png]: plays FILE through a device without
// sound as fast as the machine allows and prints one CSV row per analysed block. Returns the exit
// status.
int RunAnalyseCommand(const std::vector<std::string>& args);

// Plays the open source through the device without sound, handing each analysed block and its
// start (seconds) to `observer`; stops after `most_buffers` played buffers (0: at the end). False
// when the play did not start.
bool AnalyseOpenSource(const std::function<void(double, const BlockAnalysis&)>& observer, size_t most_buffers = 0);

}  // namespace dl
