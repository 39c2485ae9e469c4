#pragma once
#include <QDialog>
#include <QWidget>

#include "platform/dialog.h"

namespace dl {

// The toolkit's widgets of a dialog, for driving it as a user would (tests, screenshots).
QDialog* dialog_window(Dialog& d);
QWidget* dialog_control(Dialog& d, int id);
// The width a control needs to show its text whole (0: it has none to show).
int dialog_text_width(QWidget* w);

}  // namespace dl
