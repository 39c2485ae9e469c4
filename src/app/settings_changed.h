#pragma once
// The one way a change of the settings reaches the rest of the program: whoever changed them (a
// dialog, a menu, a key, the mouse) says once what the change touches, and the analyser, the run
// and the window are brought in line with it here.
#include <functional>

#include "state/settings.h"

namespace dl {

enum SettingsTouched : unsigned {
    kSettingsAnalysis = 0,             // what the analysis reads, and nothing more
    kSettingsMeasurement = 1u << 0,    // averaging, holds, weighting, traces, the level range: the
                                       // averaged and held levels start afresh
    kSettingsTransform = 1u << 1,      // the option dialog's keys: the source closes and the
                                       // display's resources (the transform's arrays) are made again
    kSettingsLayout = 1u << 2,         // the meter strip's room: the window is laid out again
};

void SettingsChanged(unsigned touched);

// Runs a dialog on a copy of the settings and takes the copy when the dialog is accepted (1); after a
// Cancel the settings are as they were. The caller then says what the change touches.
int EditSettingsInDialog(const std::function<int(SettingsRecord&)>& dialog);

// What the option dialog shows while it is open: the play rate, flicker-free drawing and the colour
// scale take effect at once.
void PreviewOptions(const SettingsRecord& edited);

}  // namespace dl
