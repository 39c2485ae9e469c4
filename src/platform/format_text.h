#pragma once
#include <string>

namespace dl {

// printf into a string of at most 255 characters: the formatted texts the program draws and shows.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dl
