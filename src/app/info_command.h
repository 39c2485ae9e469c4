#pragma once
#include <string>

namespace dl {

// `dewlark --info FILE`: opens FILE as the window does, without showing anything or touching a
// sound device, and prints its facts to standard output, one key=value a line. Messages go to
// standard error. Returns the exit status: 0 when the file opened and its sound can be had (an
// analysis starts, as --analyse starts it), 1 otherwise (the facts are printed all the same once
// the file opened, and standard error says why).
int RunInfoCommand(const std::string& path);

}  // namespace dl
