#pragma once
#include <string>

namespace dl {

// The desktop's clipboard as plain text: what Copy puts there, and what is there now.
void set_clipboard_text(const std::string& utf8);
std::string clipboard_text();

}  // namespace dl
