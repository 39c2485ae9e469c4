#include "app/measure_menu.h"

#include <cstdio>
#include <string>

#include "analysis/measured_spectrum.h"
#include "app/settings_changed.h"
#include "dialogs/measure_dialog.h"
#include "state/analysis.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"

namespace dl {

namespace {

struct MeasureEntry {
    const char* english;
    const char* japanese;
    int group;  // -1: a command; 0: a toggle; above: choices that exclude each other
    bool (*checked)();
    void (*choose)();
    bool separator_before = false;
};

void SetAveraging(int mode, int ms) {
    Settings.averaging = mode;
    if (ms > 0) Settings.average_ms = ms;
    SettingsChanged(kSettingsMeasurement);
}

void MeasurementChanged() { SettingsChanged(kSettingsMeasurement); }

const MeasureEntry kEntries[] = {
    {"&Freeze\tSpace", "静止(&F)\tSpace", 0, [] { return Settings.Freeze; }, ToggleFreeze},
    {"&Reset averages and holds\tBackspace", "平均とホールドをリセット(&R)\tBackspace", -1, nullptr, ResetMeasurement},
    {"Averaging off\tCtrl+A", "平均なし\tCtrl+A", 1, [] { return Settings.averaging == 0; },
     [] { SetAveraging(0, 0); }, true},
    {"Exponential, fast (125 ms)", "指数平均 速い(125 ms)", 1,
     [] { return Settings.averaging == 1 && Settings.average_ms == 125; }, [] { SetAveraging(1, 125); }},
    {"Exponential, slow (1 s)", "指数平均 遅い(1 s)", 1,
     [] { return Settings.averaging == 1 && Settings.average_ms == 1000; }, [] { SetAveraging(1, 1000); }},
    {"Linear over the last blocks", "直近のブロックの平均", 1, [] { return Settings.averaging == 2; },
     [] { SetAveraging(2, 0); }},
    {"Infinite (until reset)", "無限平均(リセットまで)", 1, [] { return Settings.averaging == 3; },
     [] { SetAveraging(3, 0); }},
    {"Max hold\tCtrl+M", "最大値ホールド\tCtrl+M", 0, [] { return Settings.max_hold != 0; },
     [] { Settings.max_hold = !Settings.max_hold; MeasurementChanged(); }, true},
    {"Min hold\tCtrl+N", "最小値ホールド\tCtrl+N", 0, [] { return Settings.min_hold != 0; },
     [] { Settings.min_hold = !Settings.min_hold; MeasurementChanged(); }},
    {"Z weighting (none)\tCtrl+W", "Z特性(補正なし)\tCtrl+W", 2, [] { return Settings.weighting == 0; },
     [] { Settings.weighting = 0; MeasurementChanged(); }, true},
    {"A weighting", "A特性", 2, [] { return Settings.weighting == 1; },
     [] { Settings.weighting = 1; MeasurementChanged(); }},
    {"C weighting", "C特性", 2, [] { return Settings.weighting == 2; },
     [] { Settings.weighting = 2; MeasurementChanged(); }},
    {"Weighted meter strip", "メーター帯にも補正", 0, [] { return Settings.meter_weighting != 0; },
     [] {
         Settings.meter_weighting = !Settings.meter_weighting;
         SettingsChanged(kSettingsAnalysis);
     }},
    {"Mix of the channels\tCtrl+T", "チャンネルの和\tCtrl+T", 3, [] { return Settings.traces == 0; },
     [] { Settings.traces = 0; MeasurementChanged(); }, true},
    {"Left and right", "左と右", 3, [] { return Settings.traces == 1; },
     [] { Settings.traces = 1; MeasurementChanged(); }},
    {"Mid and side", "ミッドとサイド", 3, [] { return Settings.traces == 2; },
     [] { Settings.traces = 2; MeasurementChanged(); }},
    {"Difference", "差", 3, [] { return Settings.traces == 3; },
     [] { Settings.traces = 3; MeasurementChanged(); }},
    {"Peaks of the second trace", "第2トレースのピーク", 0, [] { return Settings.peak_trace != 0; },
     [] { Settings.peak_trace = !Settings.peak_trace; MeasurementChanged(); }},
    {"Measure &settings...", "測定の設定(&S)...", -1, nullptr, [] {
         if (EditSettingsInDialog(RunMeasureDialog) == 1) MeasurementChanged();
     },
     true},
};

template <class Choose>
void Step(int& value, int count, Choose after) {
    value = (value + 1) % count;
    after();
}

}  // namespace

std::vector<SubmenuEntry> MeasureMenu() {
    std::vector<SubmenuEntry> entries;
    for (const MeasureEntry& e : kEntries) {
        SubmenuEntry s;
        s.text = JapaneseUi ? e.japanese : e.english;
        s.command = e.group < 0;
        s.checked = e.checked && e.checked();
        s.group = e.group;
        s.toggle = e.group == 0;
        s.separator_before = e.separator_before;
        s.mnemonic = true;
        entries.push_back(s);
    }
    return entries;
}

void ChooseMeasureEntry(int index) {
    if (index < 0 || index >= int(std::size(kEntries))) return;
    kEntries[index].choose();
}

void ToggleFreeze() { Settings.Freeze = !Settings.Freeze; }

void ResetMeasurement() { ResetMeasuredSpectrum(RunAnalyser); }

bool MeasureShortcut(Key key, KeyModifiers mods) {
    switch (key) {
        case Key::Space:
            if (!SourceState.running || mods.ctrl) return false;
            ToggleFreeze();
            return true;
        case Key::Backspace:
            ResetMeasurement();
            return true;
        default:
            break;
    }
    if (!mods.ctrl) return false;
    switch (key) {
        case Key::A: {
            // Off, fast, slow, linear, infinite.
            const int at = Settings.averaging == 0 ? 0
                           : Settings.averaging == 1 ? (Settings.average_ms <= 125 ? 1 : 2)
                           : Settings.averaging + 1;
            kEntries[2 + (at + 1) % 5].choose();
            return true;
        }
        case Key::M: kEntries[7].choose(); return true;
        case Key::N: kEntries[8].choose(); return true;
        case Key::W: Step(Settings.weighting, 3, MeasurementChanged); return true;
        case Key::T: Step(Settings.traces, 4, MeasurementChanged); return true;
        default: return false;
    }
}

}  // namespace dl
