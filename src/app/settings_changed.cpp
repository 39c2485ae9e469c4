#include "app/settings_changed.h"

#include "analysis/measured_spectrum.h"
#include "app/main_window_proc.h"
#include "audio/source.h"
#include "display/analysis_settings.h"
#include "display/frame.h"
#include "state/analysis.h"
#include "state/settings.h"

namespace dl {

void SettingsChanged(unsigned touched) {
    NoteSettingsChanged();
    if (touched & kSettingsTransform) {
        CloseSource();
        PrepareDisplayResources();
    }
    if (touched & kSettingsLayout) RelayoutWindow();
    if (touched & kSettingsMeasurement) ResetMeasuredSpectrum(RunAnalyser);
    RunAnalyser.configure(AnalysisParamsOfSettings());
}

}  // namespace dl
