#include "app/file_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace dl {

namespace fs = std::filesystem;

bool HasSoundExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".wav" || ext == ".mp3" || ext == ".ogg" || ext == ".oga" || ext == ".flac" || ext == ".opus";
}

bool SplitFileList(std::string_view bytes, bool nul_separated, std::vector<std::string>& names, std::string& why) {
    const char end = nul_separated ? '\0' : '\n';
    size_t line = 0;
    for (size_t at = 0; at < bytes.size();) {
        ++line;
        const size_t stop = std::min(bytes.find(end, at), bytes.size());
        std::string_view name = bytes.substr(at, stop - at);
        at = stop + 1;
        if (!nul_separated) {
            if (!name.empty() && name.back() == '\r') name.remove_suffix(1);
            if (name.find('\0') != std::string_view::npos) {
                why = "line " + std::to_string(line) +
                      " holds a NUL byte (--null reads a list of names each ended by a NUL byte)";
                return false;
            }
        }
        if (!name.empty()) names.emplace_back(name);
    }
    return true;
}

namespace {

// The sound files under `root` and the folders there that could not be read, in no order.
void walk(const std::string& root, std::vector<ListedFile>& found) {
    std::vector<fs::path> folders = {root};
    while (!folders.empty()) {
        const fs::path folder = std::move(folders.back());
        folders.pop_back();
        std::error_code ec;
        fs::directory_iterator it(folder, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code kind;
            // Links to folders are not followed (no loops); links to files are.
            if (it->is_directory(kind) && !it->is_symlink(kind)) folders.push_back(it->path());
            else if (HasSoundExtension(it->path().string()) && it->is_regular_file(kind))
                found.push_back({it->path().string(), {}});
        }
        if (ec) found.push_back({folder.string(), "cannot read the folder: " + ec.message()});
    }
}

}  // namespace

void AddListedPath(const std::string& path, std::vector<ListedFile>& files) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
        files.push_back({path, {}});
        return;
    }
    std::vector<ListedFile> found;
    walk(path, found);
    std::sort(found.begin(), found.end(), [](const ListedFile& a, const ListedFile& b) { return a.path < b.path; });
    files.insert(files.end(), found.begin(), found.end());
}

}  // namespace dl
