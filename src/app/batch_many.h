#pragma once
// --analyse over many files: the files listed, spread over worker processes of this program, and
// their rows written in the order the files were named.
#include "app/batch_run.h"
#include "app/file_list.h"

namespace dl {

// The coordinator: lists the files (folders walked for the formats dewlark opens, --files-from),
// starts --jobs workers, prints the rows or summaries and, on a terminal, the progress. The exit
// status is 1 when any file failed.
int RunManyFiles(const BatchOptions& options);

// A worker: reads requests on standard input, analyses each file and answers on standard output.
int RunAnalyseWorker(const BatchOptions& options);

// The files a run analyses, in order: each argument as it stands, or the sound files under it
// when it is a folder (sorted by path), a folder that cannot be read as an entry with its error.
// Returns 0, or the exit status after a message when a list cannot be read (1) or holds a NUL byte
// without --null (kUsageStatus).
int ListSoundFiles(const BatchOptions& options, std::vector<ListedFile>& files);

}  // namespace dl
