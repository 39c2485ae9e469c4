#include "app/save_picture.h"

#include <filesystem>

#include "platform/main_window.h"
#include "resources/messages.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

bool is_folder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace

SaveFileRequest SavePictureRequest() {
    SaveFileRequest r;
    r.caption = JapaneseUi ? "画像を保存" : "Save picture";
    const std::filesystem::path file(FileName);
    // The picture of a file is named after it; the live input's after the program.
    r.name = (FileName.empty() || file.stem().empty() ? std::string("dewlark") : file.stem().string()) + ".png";
    if (is_folder(Settings.OpenFolder)) r.folder = Settings.OpenFolder;
    r.filters = {{JapaneseUi ? "PNG 画像" : "PNG pictures", {"*.png"}}};
    r.suffix = "png";
    return r;
}

void SavePictureCommand() {
    MainWindow* w = TheMainWindow;
    if (!w || w->destroyed()) return;
    const std::optional<std::string> chosen = save_file_dialog(SavePictureRequest());
    // Nothing is written on Cancel, nor for a window that went away meanwhile.
    if (!chosen || chosen->empty() || TheMainWindow != w || w->destroyed()) return;
    std::string why;
    if (w->surface().save_png(*chosen, &why)) return;
    ReportMessage(*chosen + "\n" + MessageText(kMsgPictureNotSaved) + (why.empty() ? "" : "\n" + why));
}

}  // namespace dl
