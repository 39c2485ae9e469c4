#pragma once
#include <string>

#include "platform/file_dialog.h"

namespace dl {

// File › Save picture...: the client area, as the window shows it and at the screen's pixel ratio,
// into a PNG file the user names. Cancel writes nothing; a failure is said in a message box.
void SavePictureCommand();
// The dialog's request: caption, starting folder and the name offered, from the file shown.
SaveFileRequest SavePictureRequest();

}  // namespace dl
