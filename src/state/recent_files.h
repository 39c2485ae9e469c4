#pragma once
#include <string>
#include <vector>

namespace dl {

// The recent files of the File menu: Settings.Recent1..Recent5, most recent first, each an absolute
// path at most once.
inline constexpr int kRecentFileCount = 5;

// The list as the settings hold it, without empty entries and repeats.
std::vector<std::string> RecentFiles();
// Puts the file first (as an absolute path), taking an older entry of it away and keeping five.
// A path the settings file could not give back as it is (see storable_name) is left out: false.
bool RememberRecentFile(const std::string& path);
// Takes the file away from the list; false when it was not there.
bool ForgetRecentFile(const std::string& path);
// Takes away the files that no longer exist; gives the ones taken away.
std::vector<std::string> ForgetMissingRecentFiles();
// Whether the path names something that can be opened as a file (it exists and is no folder).
bool RecentFileExists(const std::string& path);
// The path made absolute against the current folder, without "." and ".." parts.
std::string AbsolutePath(const std::string& path);

}  // namespace dl
