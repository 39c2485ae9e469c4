#pragma once
#include <string>

namespace dl {

// printf into a string, whole however long it is.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dl

namespace dl {

// A name (a file's, a device's) as a message on a terminal shows it: control characters and DEL as
// "\n", "\t" or "\xHH", a backslash doubled, so that a name can neither break a line of messages nor
// steer the terminal.
std::string shown_name(const std::string& name);

}  // namespace dl
