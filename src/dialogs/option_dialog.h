#pragma once

namespace dl {

// The option dialog (command 124): 1 after OK, 0 after Cancel. The play rate, flicker-free
// drawing and the colour scale take effect while it is open; Cancel puts them back.
int RunOptionDialog();

// The label of the play-rate scroll bar: 2^(position / 120) as a percentage, "%.1f%%".
const char* PlayRateLabel(int position, char (&buffer)[16]);

}  // namespace dl
