#pragma once
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace dl {

// Private-profile (INI) access. Reads give the default when the file, section or key is missing and
// cut the value to buffer_size - 1 characters. Writes keep every other line of the file and replace
// the file atomically (temporary file, then rename). Only a regular file of at most
// kProfileFileLimit bytes is read or replaced: a name that means a device or a FIFO reads as no
// file and is never written over.
inline constexpr size_t kProfileFileLimit = size_t(16) << 20;

// How the file was found when it was read.
enum class ProfileRead { Read, Missing, NotRegular, TooLarge, Failed };

std::string get_profile_string(const std::string& section, const std::string& key, const std::string& fallback,
                               size_t buffer_size, const std::string& path);

// One section of a file, read in one pass; get() answers as get_profile_string would have when the
// snapshot was taken (names without case, the first line of a key wins, surrounding quotes dropped).
class ProfileSection {
public:
    ProfileSection(const std::string& section, const std::string& path);
    std::string get(const std::string& key, const std::string& fallback, size_t buffer_size) const;
    // Read or Missing, or why the file was not taken (its keys then give their defaults).
    ProfileRead status() const { return status_; }
    // The errno of a Failed read.
    int error() const { return error_; }

private:
    ProfileRead status_ = ProfileRead::Missing;
    int error_ = 0;
    std::unordered_map<std::string, std::string> values_;  // by lower-case key
};

// How a write ended. A file with no write permission (none in its mode at all, or none for us) is left
// as it is: ReadOnly, so the caller can say so; so are one that is not a regular file (NotRegular)
// and one too large to be a settings file (TooLarge). Failed leaves errno set.
enum class ProfileWrite { Written, ReadOnly, NotRegular, TooLarge, Failed };

// A write goes through a symbolic link (or a chain of them) to the file it names, and the file keeps
// its permissions and, where allowed, its owner.
ProfileWrite write_profile_string(const std::string& section, const std::string& key, const std::string& value,
                                  const std::string& path);
// Several keys in one atomic replacement.
ProfileWrite write_profile_strings(const std::string& section,
                                   const std::vector<std::pair<std::string, std::string>>& values,
                                   const std::string& path);

// How many times profile files were opened for reading since the start (reading them once a start).
int profile_file_reads();

}  // namespace dl
