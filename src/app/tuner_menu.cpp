#include "app/tuner_menu.h"

#include "analysis/partial_reading.h"
#include "display/tuner_readout.h"
#include "platform/format_text.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

bool IsTunerSubmenu(int id) { return id == kCmdTunerPartial; }

std::vector<SubmenuEntry> TunerSubmenu(int id) {
    std::vector<SubmenuEntry> entries;
    if (id != kCmdTunerPartial) return entries;
    for (int k = kFirstPartial; k <= kLastPartial; ++k) {
        const std::string text = k == 1 ? (JapaneseUi ? "1 (基音)" : "1 (fundamental)") : format_text("%d", k);
        entries.push_back({text, k == Settings.tuner_partial});
    }
    return entries;
}

void ChooseInTunerSubmenu(int id, int index) {
    const int k = kFirstPartial + index;
    if (id != kCmdTunerPartial || k < kFirstPartial || k > kLastPartial || k == Settings.tuner_partial) return;
    Settings.tuner_partial = k;
    RedrawTunerReadout(RunAnalyser.result);
}

}  // namespace dl
