#pragma once
// What every dialog of the program shares: its units, and the raised or flat look that the
// "Three dimension" item of its context menu switches for all of them.
#include "platform/dialog.h"

namespace dl {

// Dialog units from the layout units of the fixed font, the Japanese texts under JapaneseUi.
DialogUnits StandardDialogUnits();

class StandardDialog : public DialogHandler {
public:
    // The look by dialog3d and the context-menu item (from platform version 3.95 on).
    void on_init(Dialog& d) override;
    void on_look_item(Dialog& d) override;
};

}  // namespace dl
