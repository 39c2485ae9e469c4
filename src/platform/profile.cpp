#include "platform/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>

#include "platform/regular_file.h"

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

// Calls each(line) for every line of the text, without its '\n' (a '\r' before it stays: the
// parsing trims it, and a line written back keeps its own ending).
template <class F>
void for_each_line(const std::string& text, F&& each) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        each(text.substr(at, end - at));
        at = end + 1;
    }
}

ProfileRead read_profile_file(const std::string& path, std::string& text) {
    ++g_file_reads;
    switch (read_regular_file(path, kProfileFileLimit, text)) {
        case FileRead::Read: return ProfileRead::Read;
        case FileRead::Missing: return ProfileRead::Missing;
        case FileRead::NotRegular: return ProfileRead::NotRegular;
        case FileRead::TooLarge: return ProfileRead::TooLarge;
        case FileRead::Failed: break;
    }
    return ProfileRead::Failed;
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

}  // namespace

ProfileSection::ProfileSection(const std::string& section, const std::string& path) {
    std::string text;
    status_ = read_profile_file(path, text);
    error_ = status_ == ProfileRead::Failed ? errno : 0;
    bool in_section = false;
    for_each_line(text, [&](const std::string& line) {
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

namespace {

// The file's text with the section's keys set to the values: every other line kept, a missing key
// added at the end of its section, a missing section at the end of the file.
std::string merged_profile_text(const std::string& old_text, const std::string& section,
                                const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<std::string> lines;
    for_each_line(old_text, [&](const std::string& line) { lines.push_back(line); });
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
                        const bool crlf = !line.empty() && line.back() == '\r';
                        out.push_back(values[i].first + "=" + values[i].second + (crlf ? "\r" : ""));
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
    std::string text;
    for (const std::string& l : out) text.append(l).append("\n");
    return text;
}

}  // namespace

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
    // Every other line is kept, so the file is read whole first; what is not a file of lines is
    // never replaced.
    std::string old_text;
    switch (read_profile_file(target, old_text)) {
        case ProfileRead::Read:
        case ProfileRead::Missing: break;
        case ProfileRead::NotRegular: return ProfileWrite::NotRegular;
        case ProfileRead::TooLarge: return ProfileWrite::TooLarge;
        case ProfileRead::Failed: return ProfileWrite::Failed;
    }
    const std::string text = merged_profile_text(old_text, section, values);
    switch (replace_regular_file(target, text, 0644)) {
        case FileReplace::Written: return ProfileWrite::Written;
        case FileReplace::NotRegular: return ProfileWrite::NotRegular;
        case FileReplace::Failed: break;
    }
    return ProfileWrite::Failed;
}

}  // namespace dl
