#pragma once

namespace dl {

// What opening or selecting a source, or starting a run, gives: Done (the source is open, the run
// goes on), or Failed, the failure told to the user and nothing of it left half done.
enum class Result { Done, Failed };

}  // namespace dl
