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

struct SaveFileRequest {
    std::string caption;
    std::string folder;  // where the dialog starts; empty: the current folder
    std::string name;    // the name offered at first
    std::vector<FileTypeFilter> filters;
    std::string suffix;  // added to a name typed without one ("png")
};

// Asks where to write a file, in a modal dialog owned by the main window that asks before a file is
// replaced: the chosen path, or nothing when cancelled. A hook stands in for the dialog as above.
std::optional<std::string> save_file_dialog(const SaveFileRequest& request);
using SaveDialogHook = std::function<std::optional<std::string>(const SaveFileRequest&)>;
void set_save_dialog_hook(SaveDialogHook hook);

// The file-type entry as the dialog lists it: "label (*.wav *.mp3)".
std::string filter_text(const FileTypeFilter& filter);

}  // namespace dl
