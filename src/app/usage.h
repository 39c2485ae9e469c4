#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace dl {

// How to call dewlark: the window's switches and every batch command with its options, in Japanese
// under a Japanese locale.
void PrintUsage(std::FILE* out);

// The first token that looks like a long option but is none the window knows ("--" and more), or
// empty. The batch commands read their own options.
std::string UnknownLongOption(const std::vector<std::string>& tokens);

}  // namespace dl
