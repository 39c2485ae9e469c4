#pragma once
#include <functional>
#include <string>

namespace dl {

enum class MbIcon { None, Exclamation, Information };

struct MessageBoxRequest {
    std::string text;
    std::string caption;  // empty: the program's default caption
    bool owned = true;    // owned by the main window
    MbIcon icon = MbIcon::None;
};

// Shows a modal message box. With a hook installed (tests, batch mode) the request goes to the
// hook instead and nothing is shown.
void message_box(const MessageBoxRequest& request);
using MessageBoxHook = std::function<void(const MessageBoxRequest&)>;
void set_message_box_hook(MessageBoxHook hook);

}  // namespace dl
