#include "dialogs/dialog_look.h"

#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

namespace {

void apply_look(Dialog& d) {
    d.set_raised_look(Settings.dialog3d != 0);
    d.set_look_item(JapaneseUi ? "３Ｄ表示(&T)" : "&Three dimension", Settings.dialog3d != 0);
}

}  // namespace

DialogUnits StandardDialogUnits() { return {CellWidth, 2 * CellHeight, JapaneseUi}; }

void StandardDialog::on_init(Dialog& d) {
    if (PlatformVersion >= 863) apply_look(d);
}

void StandardDialog::on_look_item(Dialog& d) {
    if (PlatformVersion < 863) return;
    // The choice holds for every dialog from now on and is saved at exit.
    SetDialogLook(Settings.dialog3d == 0);
    apply_look(d);
}

}  // namespace dl
