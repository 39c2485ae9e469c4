#pragma once
#include <string>
#include <utility>
#include <vector>

namespace dl {

// Private-profile (INI) access. Reads give the default when the file, section or key is missing and
// cut the value to buffer_size - 1 characters. Writes keep every other line of the file and replace
// the file atomically (temporary file, then rename).
std::string get_profile_string(const std::string& section, const std::string& key, const std::string& fallback,
                               size_t buffer_size, const std::string& path);
bool write_profile_string(const std::string& section, const std::string& key, const std::string& value,
                          const std::string& path);
// Several keys in one atomic replacement.
bool write_profile_strings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values,
                           const std::string& path);

}  // namespace dl
