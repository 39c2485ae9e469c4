#include "app/help_page.h"

#include <string>

#include "platform/message_box.h"
#include "platform/system.h"
#include "state/shell.h"

namespace dl {

void ShowHelpPage() {
    const std::string page = data_dir() + "/dewlark.html";
    if (open_in_browser(page)) return;
    const std::string text = JapaneseUi ? "ヘルプを開けません。ブラウザ（xdg-open）が見つかりません。\nヘルプのページ: " + page
                                        : "The help page could not be opened: no web browser (xdg-open) was found.\n"
                                          "The page is " + page;
    message_box({text, "", true, MbIcon::Exclamation});
}

}  // namespace dl
