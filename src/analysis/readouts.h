#pragma once
#include <functional>
#include <string>

namespace dl {

// The texts the analysis draws for a block, as drawn; batch mode records them.
enum class Readout { Peak, Level, A4, Label };
inline std::function<void(Readout, const std::string&)> ReadoutObserver;
inline void report_readout(Readout kind, const std::string& text) {
    if (ReadoutObserver) ReadoutObserver(kind, text);
}

}  // namespace dl
