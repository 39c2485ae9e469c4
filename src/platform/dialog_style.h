#pragma once
// How the dialogs' controls are drawn beyond the toolkit's own style.
#include <QStyle>

namespace dl {

// The application's style, with the edges of check boxes, radio buttons, edit fields and push
// buttons drawn in a colour that stands out from both the window and the field colour of the
// palette: in a dark palette, and in the flat look (the window in the field colour), the
// toolkit's own edges nearly vanish.
QStyle* dialog_control_style();

}  // namespace dl
