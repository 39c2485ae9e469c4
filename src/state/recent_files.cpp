#include "state/recent_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "state/settings.h"

namespace dl {

namespace {

std::array<std::string*, kRecentFileCount> slots() {
    SettingsRecord& s = Settings;
    return {&s.Recent1, &s.Recent2, &s.Recent3, &s.Recent4, &s.Recent5};
}

void store(const std::vector<std::string>& list) {
    auto fields = slots();
    for (size_t i = 0; i < fields.size(); ++i) *fields[i] = i < list.size() ? list[i] : std::string();
}

}  // namespace

std::vector<std::string> RecentFiles() {
    std::vector<std::string> list;
    for (const std::string* field : slots())
        if (!field->empty() && std::find(list.begin(), list.end(), *field) == list.end()) list.push_back(*field);
    return list;
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    return absolute.lexically_normal().string();
}

bool RememberRecentFile(const std::string& path) {
    const std::string absolute = AbsolutePath(path);
    if (absolute.empty() || !storable_name(absolute)) return false;
    std::vector<std::string> list = RecentFiles();
    list.erase(std::remove(list.begin(), list.end(), absolute), list.end());
    list.insert(list.begin(), absolute);
    if (list.size() > size_t(kRecentFileCount)) list.resize(kRecentFileCount);
    store(list);
    return true;
}

bool ForgetRecentFile(const std::string& path) {
    std::vector<std::string> list = RecentFiles();
    const auto kept = std::remove(list.begin(), list.end(), path);
    const bool found = kept != list.end();
    list.erase(kept, list.end());
    store(list);
    return found;
}

bool RecentFileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::vector<std::string> ForgetMissingRecentFiles() {
    std::vector<std::string> kept, gone;
    for (const std::string& path : RecentFiles()) (RecentFileExists(path) ? kept : gone).push_back(path);
    store(kept);
    return gone;
}

}  // namespace dl
