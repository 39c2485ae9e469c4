#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
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

std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
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

bool write_atomically(const std::string& path, const std::string& text) {
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string get_profile_string(const std::string& section, const std::string& key, const std::string& fallback,
                               size_t buffer_size, const std::string& path) {
    std::string result = fallback;
    bool in_section = false;
    for (const std::string& line : read_lines(path)) {
        std::string name, k, v;
        if (section_name(line, name)) {
            in_section = iequals(name, section);
            continue;
        }
        if (in_section && key_value(line, k, v) && iequals(k, key)) {
            // Surrounding quotes are not part of the value.
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            result = v;
            break;
        }
    }
    if (buffer_size == 0) return {};
    if (result.size() > buffer_size - 1) result.resize(buffer_size - 1);
    return result;
}

bool write_profile_string(const std::string& section, const std::string& key, const std::string& value,
                          const std::string& path) {
    return write_profile_strings(section, {{key, value}}, path);
}

bool write_profile_strings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values,
                           const std::string& path) {
    std::vector<std::string> lines = read_lines(path);
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
    return write_atomically(path, text.str());
}

}  // namespace dl
