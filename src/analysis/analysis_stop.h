#pragma once
// What ends the analysis of a block, and the program with it: memory its arrays cannot have, or a
// broken precondition. The analysis stops where it is and hands what is to be said to its caller
// in the block's result; only the caller shows it and ends the process.
#include <exception>
#include <string>
#include <utility>

namespace dl {

class AnalysisStop : public std::exception {
public:
    AnalysisStop(std::string english, std::string japanese, bool owned, int status)
        : english(std::move(english)), japanese(std::move(japanese)), owned(owned), status(status) {}
    const char* what() const noexcept override { return english.c_str(); }

    std::string english, japanese;  // the message in either language
    bool owned;                     // the message box belongs to the window
    int status;                     // the process' exit status
};

}  // namespace dl
