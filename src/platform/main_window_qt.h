#pragma once
#include <QWidget>

namespace dl {
// The main window's widget, for owning dialogs and message boxes; null when there is none.
QWidget* main_window_widget();
}  // namespace dl
