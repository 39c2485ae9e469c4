#pragma once
#include <string>

namespace dl {

// `dewlark --info FILE`: opens FILE as the window does, without showing anything or touching a
// sound device, and prints its facts to standard output, one key=value a line. Messages go to
// standard error. Returns the exit status: 0 when the file opened, 1 otherwise.
int RunInfoCommand(const std::string& path);

}  // namespace dl
