#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dl {

// One entry of the file-type list: its label and its name patterns ("*.wav"), which match without
// regard to case.
struct FileTypeFilter {
    std::string label;
    std::vector<std::string> patterns;
};

struct OpenFileRequest {
    std::string caption;
    std::string folder;                   // where the dialog starts; empty: the current folder
    std::vector<FileTypeFilter> filters;  // the first is chosen at first
};

// Asks for an existing file to open in a modal dialog owned by the main window: the chosen file's
// path, or nothing when cancelled. With a hook installed (tests) the request goes to the hook, whose
// answer is the dialog's, and nothing is shown.
std::optional<std::string> open_file_dialog(const OpenFileRequest& request);
using FileDialogHook = std::function<std::optional<std::string>(const OpenFileRequest&)>;
void set_file_dialog_hook(FileDialogHook hook);

// The file-type entry as the dialog lists it: "label (*.wav *.mp3)".
std::string filter_text(const FileTypeFilter& filter);

}  // namespace dl
