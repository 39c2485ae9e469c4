#pragma once
// --analyse over many files: the files listed, spread over worker processes of this program, and
// their rows written in the order the files were named.
#include "app/batch_run.h"

namespace dl {

// The coordinator: lists the files (folders walked for the formats dewlark opens, --files-from),
// starts --jobs workers, prints the rows or summaries and, on a terminal, the progress. The exit
// status is 1 when any file failed.
int RunManyFiles(const BatchOptions& options);

// A worker: reads requests on standard input, analyses each file and answers on standard output.
int RunAnalyseWorker(const BatchOptions& options);

// The files a run analyses, in order: each argument as it stands, or the sound files under it
// when it is a folder (sorted by path). False after a message when a list cannot be read.
bool ListSoundFiles(const BatchOptions& options, std::vector<std::string>& files);

}  // namespace dl
