#include "resources/messages.h"

#include "platform/message_box.h"
#include "state/shell.h"

namespace dl {

const char* MessageText(const Message& m) { return JapaneseUi ? m.japanese : LoadStringText(m.english); }

void ReportMessage(const std::string& text) { message_box({text, "", true, MbIcon::Exclamation}); }

void ReportMessage(const Message& m) { ReportMessage(std::string(MessageText(m))); }

void ShowDiagnostic(const std::string& text, const std::string& caption, bool owned) {
    message_box({text, caption, owned, MbIcon::None});
}

}  // namespace dl
