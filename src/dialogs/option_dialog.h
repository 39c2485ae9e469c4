#pragma once
#include <functional>
#include <string>

#include "state/settings.h"

namespace dl {

// Shown while a dialog is open: the edited settings, for what takes effect at once.
using SettingsPreview = std::function<void(const SettingsRecord&)>;

// The option dialog (command 124) on `edited`: 1 after OK, 0 after Cancel. The play rate, flicker-free
// drawing and the colour scale go to `preview` as they are changed, to take effect while it is open;
// Cancel puts them back in `edited` and shows that too.
int RunOptionDialog(SettingsRecord& edited, const SettingsPreview& preview);

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
