#include "app/spectrogram_menu.h"

#include <algorithm>
#include <iterator>

#include "display/frame.h"
#include "display/spectrogram.h"
#include "platform/format_text.h"
#include "resources/command_ids.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/window_dc.h"

namespace dl {

namespace {

constexpr int kSpans[] = {2, 5, 10, 30, 60};

// The spans by name, and the one of the settings when it is none of them.
std::vector<int> spans() {
    std::vector<int> s(std::begin(kSpans), std::end(kSpans));
    if (std::find(s.begin(), s.end(), Settings.spectrogram_span) == s.end()) s.push_back(Settings.spectrogram_span);
    return s;
}

}  // namespace

bool IsSpectrogramSubmenu(int id) { return id == kCmdSpectrogramSpan; }

std::vector<SubmenuEntry> SpectrogramSubmenu(int id) {
    std::vector<SubmenuEntry> entries;
    if (id != kCmdSpectrogramSpan) return entries;
    for (int s : spans()) entries.push_back({format_text(JapaneseUi ? "%d 秒" : "%d s", s), s == Settings.spectrogram_span});
    return entries;
}

void ChooseInSpectrogramSubmenu(int id, int index) {
    const std::vector<int> s = spans();
    if (id != kCmdSpectrogramSpan || index < 0 || size_t(index) >= s.size()) return;
    if (Settings.spectrogram_span == s[size_t(index)]) return;
    Settings.spectrogram_span = s[size_t(index)];
    // The columns drawn so far are of the old span: the picture starts again under the new labels.
    ResetSpectrogram();
    if (WindowSurface && Settings.display == kViewSpectrogram) {
        WindowDc dc;
        DrawFrame(dc);
    }
}

}  // namespace dl
