#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace dl {

namespace {

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

bool iequals(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::atomic<int> g_file_reads{0};

std::string lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Calls each(line) for every line of the file, without its line end; a missing file has none.
template <class F>
void for_each_line(const std::string& path, F&& each) {
    ++g_file_reads;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        each(line);
    }
}

std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    for_each_line(path, [&](const std::string& line) { lines.push_back(line); });
    return lines;
}

// Section header name, or empty when the line is not one.
bool section_name(const std::string& line, std::string& name) {
    std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = trim(t.substr(1, close - 1));
    return true;
}

bool key_value(const std::string& line, std::string& key, std::string& value) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    std::string t = trim(line);
    if (t.empty() || t[0] == ';') return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return true;
}

// Follows symbolic links to the file the path finally names; a relative link counts from its own folder.
bool resolve_links(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char buf[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
        if (n <= 0 || size_t(n) >= sizeof buf) return false;
        std::string target(buf, size_t(n));
        if (target[0] != '/') {
            const size_t slash = path.rfind('/');
            if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
        }
        path = target;
    }
    errno = ELOOP;
    return false;
}

// Replaces the file with text; `keep` holds the permissions and owner of the file it replaces, if any.
bool write_atomically(const std::string& path, const std::string& text, const struct stat* keep) {
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    // A replacement stays private until it has the old file's permissions.
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, keep ? 0600 : 0644);
    if (fd < 0) return false;
    auto give_up = [&](bool open) {
        const int err = errno;
        if (open) ::close(fd);
        ::unlink(tmp.c_str());
        errno = err;
        return false;
    };
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return give_up(true);
        done += size_t(n);
    }
    if (keep) {
        // The owner first: a change of owner may clear set-id bits, which fchmod then puts back.
        if (::fchown(fd, keep->st_uid, keep->st_gid) != 0 && ::fchown(fd, uid_t(-1), keep->st_gid) != 0) {
            // Not ours to give away: the file becomes ours, with its old permissions.
        }
        if (::fchmod(fd, keep->st_mode & 07777) != 0) return give_up(true);
    }
    if (::fsync(fd) != 0) return give_up(true);
    if (::close(fd) != 0) return give_up(false);
    if (::rename(tmp.c_str(), path.c_str()) != 0) return give_up(false);
    return true;
}

}  // namespace

ProfileSection::ProfileSection(const std::string& section, const std::string& path) {
    bool in_section = false;
    for_each_line(path, [&](const std::string& line) {
        std::string name, k, v;
        if (section_name(line, name)) {
            in_section = iequals(name, section);
            return;
        }
        if (!in_section || !key_value(line, k, v)) return;
        // Surrounding quotes are not part of the value.
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        values_.try_emplace(lower(k), std::move(v));
    });
}

std::string ProfileSection::get(const std::string& key, const std::string& fallback, size_t buffer_size) const {
    if (buffer_size == 0) return {};
    auto it = values_.find(lower(key));
    std::string result = it != values_.end() ? it->second : fallback;
    if (result.size() > buffer_size - 1) result.resize(buffer_size - 1);
    return result;
}

std::string get_profile_string(const std::string& section, const std::string& key, const std::string& fallback,
                               size_t buffer_size, const std::string& path) {
    return ProfileSection(section, path).get(key, fallback, buffer_size);
}

int profile_file_reads() { return g_file_reads; }

ProfileWrite write_profile_string(const std::string& section, const std::string& key, const std::string& value,
                                  const std::string& path) {
    return write_profile_strings(section, {{key, value}}, path);
}

ProfileWrite write_profile_strings(const std::string& section,
                                   const std::vector<std::pair<std::string, std::string>>& values,
                                   const std::string& path) {
    std::string target = path;
    if (!resolve_links(target)) return ProfileWrite::Failed;
    struct stat st;
    const bool regular = ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    // The user's own way of keeping the settings as they are: the file stays untouched. The mode is
    // looked at too, since access() says yes to everything for the superuser.
    if (regular) {
        const bool denied = ::access(target.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS);
        if ((st.st_mode & 0222) == 0 || denied) return ProfileWrite::ReadOnly;
    }
    std::vector<std::string> lines = read_lines(target);
    std::vector<bool> written(values.size(), false);
    std::vector<std::string> out;
    bool in_section = false, section_seen = false;
    auto flush_missing = [&] {
        for (size_t i = 0; i < values.size(); ++i)
            if (!written[i]) {
                out.push_back(values[i].first + "=" + values[i].second);
                written[i] = true;
            }
    };
    for (const std::string& line : lines) {
        std::string name, k, v;
        if (section_name(line, name)) {
            if (in_section) {
                // New keys go at the end of their section, before any blank lines that close it.
                std::vector<std::string> blanks;
                while (!out.empty() && trim(out.back()).empty()) {
                    blanks.push_back(out.back());
                    out.pop_back();
                }
                flush_missing();
                out.insert(out.end(), blanks.rbegin(), blanks.rend());
            }
            in_section = iequals(name, section);
            section_seen = section_seen || in_section;
            out.push_back(line);
            continue;
        }
        if (in_section && key_value(line, k, v)) {
            bool replaced = false;
            for (size_t i = 0; i < values.size(); ++i)
                if (iequals(values[i].first, k)) {
                    if (!written[i]) {
                        out.push_back(values[i].first + "=" + values[i].second);
                        written[i] = true;
                    }
                    replaced = true;  // a duplicate later line of the same key is dropped
                    break;
                }
            if (replaced) continue;
        }
        out.push_back(line);
    }
    if (in_section) flush_missing();
    if (!section_seen) {
        if (!out.empty() && !trim(out.back()).empty()) out.push_back("");
        out.push_back("[" + section + "]");
        flush_missing();
    }
    std::ostringstream text;
    for (const std::string& l : out) text << l << "\n";
    return write_atomically(target, text.str(), regular ? &st : nullptr) ? ProfileWrite::Written : ProfileWrite::Failed;
}

}  // namespace dl
