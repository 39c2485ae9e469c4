#pragma once
// The one way a change of the settings reaches the rest of the program: whoever changed them (a
// dialog, a menu, a key, the mouse) says once what the change touches, and the analyser, the run
// and the window are brought in line with it here.
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

}  // namespace dl
