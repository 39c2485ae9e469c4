#pragma once
#include <string>
#include <vector>

namespace dl {

struct CommandLine {
    std::string file_name;  // empty when none was given
    bool auto_start = false;
    bool large_layout = false;
};

// Reads the tokens after the program name (at most 15; the shell has already split and unquoted them).
// "/" with one of P S M H O L, or "/" with digits, is a switch that may change Settings.freq,
// channel and bits; every other token is the file name, the last one winning.
CommandLine ParseCommandLine(const std::vector<std::string>& tokens);

}  // namespace dl
