#pragma once

namespace dl {

// Makes sure the application object that text drawing needs exists, off screen when this
// process has none yet (batch runs, fuzzing). Does nothing when one exists.
void ensure_headless_application();

}  // namespace dl
