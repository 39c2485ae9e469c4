#pragma once

namespace dl {

// Opens the help page in the desktop's browser; says so in a box, with where the page is, when
// there is none to open it.
void ShowHelpPage();

}  // namespace dl
