#pragma once
#include <string>

namespace dl {

// The option dialog (command 124): 1 after OK, 0 after Cancel. The play rate, flicker-free
// drawing and the colour scale take effect while it is open; Cancel puts them back.
int RunOptionDialog();

// The tuning reference as the dialog shows it ("440.0" for 4400 tenths of a hertz), and as typed:
// tenths of a hertz, or 0 for a text that is no frequency from 400.0 to 480.0 Hz.
std::string ReferenceText(int tenths);
int ReferenceFromText(const std::string& text);
// A loudness target as typed ("-23", "-16,5"): tenths of LUFS, or 0 for a text that is no level
// from -60.0 to -5.0 LUFS.
int LoudnessTargetFromText(const std::string& text);

// The label of the play-rate scroll bar: 2^(position / 120) as a percentage, "%.1f%%".
const char* PlayRateLabel(int position, char (&buffer)[16]);

}  // namespace dl
