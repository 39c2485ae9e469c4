#include "app/open_file.h"

#include <filesystem>

#include "app/main_window_proc.h"
#include "app/run_controls.h"
#include "platform/file_dialog.h"
#include "resources/command_ids.h"
#include "resources/messages.h"
#include "state/recent_files.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

// The paths the recent-files submenu showed when it last opened, in its order.
std::vector<std::string> g_shown;

// Files are taken while drops are: not while a run goes on, nor without an output device.
bool files_taken() { return TheMainWindow && !TheMainWindow->destroyed() && TheMainWindow->accepts_drops(); }

// The File menu's items follow the list.
void refresh_menu() {
    if (TheMainWindow && !TheMainWindow->destroyed()) OpenControls(TheMainWindow->accepts_drops());
}

std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool is_folder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

// UTF-8: the characters of a text, each as its bytes.
std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size();) {
        size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

OpenFileRequest OpenFileDialogRequest() {
    OpenFileRequest r;
    r.caption = JapaneseUi ? "開く" : "Open";
    if (is_folder(Settings.OpenFolder)) r.folder = Settings.OpenFolder;
    else if (const std::string here = folder_of(AbsolutePath(FileName)); is_folder(here)) r.folder = here;
    r.filters = {{JapaneseUi ? "サウンド ファイル" : "Sound files", {"*.wav", "*.mp3", "*.ogg", "*.flac", "*.oga", "*.opus"}},
                 {JapaneseUi ? "すべてのファイル" : "All files", {"*"}}};
    return r;
}

void OpenFileCommand() {
    if (!files_taken()) return;
    const std::optional<std::string> chosen = open_file_dialog(OpenFileDialogRequest());
    // Cancel changes nothing; nor does a choice made while the window went away.
    if (!chosen || chosen->empty() || !files_taken()) return;
    if (const std::string folder = folder_of(AbsolutePath(*chosen)); storable_name(folder)) Settings.OpenFolder = folder;
    HandleDroppedFiles({*chosen});
}

std::string RecentMenuText(int index, const std::string& path) {
    constexpr size_t kLongest = 60, kHead = 20;
    std::string shown;
    const std::vector<std::string> chars = characters(path);
    if (chars.size() <= kLongest) {
        shown = path;
    } else {
        for (size_t i = 0; i < kHead; ++i) shown += chars[i];
        shown += "…";
        for (size_t i = chars.size() - (kLongest - kHead - 1); i < chars.size(); ++i) shown += chars[i];
    }
    std::string text = "&" + std::to_string(index + 1) + " ";
    for (char c : shown) {
        if (c == '&') text += "&&";
        else text += c == '\t' ? ' ' : c;
    }
    return text;
}

std::vector<SubmenuEntry> RecentFilesMenu() {
    g_shown = RecentFiles();
    std::vector<SubmenuEntry> entries;
    for (size_t i = 0; i < g_shown.size(); ++i) entries.push_back({RecentMenuText(int(i), g_shown[i]), false, true});
    return entries;
}

void OpenRecentFile(int index) {
    if (index < 0 || index >= int(g_shown.size()) || !files_taken()) return;
    const std::string path = g_shown[size_t(index)];
    if (!RecentFileExists(path)) {
        ForgetRecentFile(path);
        refresh_menu();
        ReportMessage(path + "\n" + MessageText(kMsgRecentFileGone));
        return;
    }
    HandleDroppedFiles({path});
}

void NoteOpenedFile(const std::string& path) {
    if (RememberRecentFile(path)) refresh_menu();
}

void ForgetMissingFilesAtStart() {
    ForgetMissingRecentFiles();
    refresh_menu();
}

}  // namespace dl
