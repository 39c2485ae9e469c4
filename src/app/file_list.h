#pragma once
// The files a many-file run analyses: the names given and the lists read (--files-from), folders
// walked for the sound files under them.
#include <string>
#include <string_view>
#include <vector>

namespace dl {

// One entry of a run: a file to analyse, or a place that could not be read (its error said in the
// file's row instead of rows).
struct ListedFile {
    std::string path;
    std::string error;
};

// The names a list holds: one a line (a '\r' before the line's end dropped) or, with
// `nul_separated`, each ended by a NUL byte; empty ones are passed over. False with `why` when a
// line holds a NUL byte (it names the line), which only a NUL-separated list may.
bool SplitFileList(std::string_view bytes, bool nul_separated, std::vector<std::string>& names, std::string& why);

// Adds `path` as it stands, or the sound files under it when it is a folder, sorted by path; a
// folder that cannot be read, there or under it, is an entry with its error.
void AddListedPath(const std::string& path, std::vector<ListedFile>& files);

// Whether a name ends as the sound files a folder walk picks (.wav .mp3 .ogg .oga .flac .opus).
bool HasSoundExtension(const std::string& path);

}  // namespace dl
