#pragma once
// Standard output as the batch commands write it: every write checked, the first failure kept with
// its reason, so that a full disk or a closed pipe is never taken for a finished run.
#include <string_view>

namespace dl {

// Writes `text`; after a failure nothing more is written.
void WriteOutput(std::string_view text);
// Hands what is buffered to the system, checked.
void FlushOutput();
// A write failed: there is no point in making more output.
bool OutputFailed();
// A reader that went away on purpose (a pipe into `head`): the run ends quietly.
bool OutputReaderGone();

// The exit status once the output is flushed and closed: `status` when every write went through or
// the reader went away; otherwise 1, after a message naming the reason.
int FinishOutput(int status);

// Forgets an earlier failure (for runs of the commands one after the other in one process).
void ResetOutputFailure();

}  // namespace dl
