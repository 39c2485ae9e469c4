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

int EditSettingsInDialog(const std::function<int(SettingsRecord&)>& dialog) {
    SettingsRecord edited = Settings;
    const int result = dialog(edited);
    if (result == 1) Settings = edited;
    return result;
}

void PreviewOptions(const SettingsRecord& edited) {
    Settings.PlayRate = edited.PlayRate;
    Settings.UseMemDC = edited.UseMemDC;
    Settings.ColorScale = edited.ColorScale;
    NoteSettingsChanged();
}

}  // namespace dl
