#include "app/save_picture.h"

#include "app/export_command.h"
#include "platform/main_window.h"
#include "resources/messages.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

SaveFileRequest SavePictureRequest() {
    SaveFileRequest r;
    r.caption = JapaneseUi ? "画像を保存" : "Save picture";
    r.name = NameAfterShownFile(".png");
    r.folder = DialogFolder();
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
