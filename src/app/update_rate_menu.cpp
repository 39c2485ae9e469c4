#include "app/update_rate_menu.h"

#include <algorithm>
#include <iterator>

#include "audio/display_tick.h"
#include "platform/format_text.h"
#include "resources/command_ids.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace dl {

namespace {

// 0 is a picture a time slice.
constexpr int kRates[] = {0, 15, 30, 60};

// The rates by name, and the one of the settings when it is none of them.
std::vector<int> rates() {
    std::vector<int> r(std::begin(kRates), std::end(kRates));
    if (std::find(r.begin(), r.end(), Settings.update_rate) == r.end()) r.push_back(Settings.update_rate);
    return r;
}

std::string rate_text(int rate) {
    if (rate == 0) return JapaneseUi ? "タイムスライスごと" : "Once a time slice";
    return format_text(JapaneseUi ? "毎秒 %d 回" : "%d a second", rate);
}

}  // namespace

bool IsUpdateRateSubmenu(int id) { return id == kCmdUpdateRate; }

std::vector<SubmenuEntry> UpdateRateSubmenu(int id) {
    std::vector<SubmenuEntry> entries;
    if (id != kCmdUpdateRate) return entries;
    for (int r : rates()) entries.push_back({rate_text(r), r == Settings.update_rate});
    return entries;
}

void ChooseInUpdateRateSubmenu(int id, int index) {
    const std::vector<int> r = rates();
    if (id != kCmdUpdateRate || index < 0 || size_t(index) >= r.size()) return;
    if (Settings.update_rate == r[size_t(index)]) return;
    Settings.update_rate = r[size_t(index)];
    // A play that runs takes the new rate at once.
    if (SourceState.running) StartDisplayTimer();
}

}  // namespace dl
