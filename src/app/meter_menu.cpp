#include "app/meter_menu.h"

#include <algorithm>
#include <iterator>

#include "analysis/meter_strip.h"
#include "app/main_window_proc.h"
#include "app/settings_changed.h"
#include "display/analysis_settings.h"
#include "display/meter_strip.h"
#include "resources/command_ids.h"
#include "resources/meter_names.h"
#include "state/analysis.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/window_dc.h"

namespace dl {

namespace {

std::vector<SubmenuEntry> choices(const std::vector<MeterName>& names, int chosen) {
    std::vector<SubmenuEntry> entries;
    for (size_t i = 0; i < names.size(); ++i)
        entries.push_back({JapaneseUi ? names[i].japanese : names[i].english, int(i) == chosen});
    return entries;
}

// The targets by name, and the one of the settings when it is none of them.
std::vector<int> targets() {
    std::vector<int> t(std::begin(kLoudnessTargets), std::end(kLoudnessTargets));
    if (std::find(t.begin(), t.end(), Settings.loudness_target) == t.end()) t.push_back(Settings.loudness_target);
    return t;
}

void redraw_strip() {
    if (!WindowSurface) return;
    WindowDc dc;
    DrawMeterStrip(dc, RunAnalyser.meters.last);
}

}  // namespace

bool IsMeterSubmenu(int id) { return id == kCmdLevelMeter || id == kCmdBallistics || id == kCmdLoudnessTarget; }

std::vector<SubmenuEntry> MeterSubmenu(int id) {
    if (id == kCmdLevelMeter) return choices(LevelMeterNames(), Settings.level_meter);
    if (id == kCmdBallistics) return choices(BallisticsNames(), Settings.meter_ballistics);
    std::vector<SubmenuEntry> entries;
    if (id != kCmdLoudnessTarget) return entries;
    for (int t : targets()) entries.push_back({TargetText(t) + " LUFS", t == Settings.loudness_target});
    return entries;
}

void ChooseInMeterSubmenu(int id, int index) {
    if (index < 0) return;
    if (id == kCmdLevelMeter && index < int(LevelMeterNames().size())) {
        SetLevelMeter(index);
    } else if (id == kCmdBallistics && index < int(BallisticsNames().size())) {
        Settings.meter_ballistics = index;
        SettingsChanged(kSettingsAnalysis);
        redraw_strip();
    } else if (id == kCmdLoudnessTarget) {
        const std::vector<int> t = targets();
        if (size_t(index) < t.size()) Settings.loudness_target = t[size_t(index)];
        redraw_strip();
    }
}

void SetLevelMeter(int mode) {
    if (mode == Settings.level_meter) return;
    Settings.level_meter = mode;
    SettingsChanged(kSettingsLayout);
}

void ResetLoudnessCommand() {
    ResetLoudness(AnalysisParamsOfSettings(), RunAnalyser.meters);
    redraw_strip();
}

}  // namespace dl
