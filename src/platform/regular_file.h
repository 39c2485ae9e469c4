#pragma once
// The files the program keeps for the user (its settings, the pictures it saves) are read and
// replaced only where a name means a regular file: a device, a FIFO or a folder behind the name is
// neither read without end, nor waited on, nor replaced.
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace dl {

// Follows symbolic links (or a chain of them; a relative one counts from its own folder) to the
// name they end at. False with errno set when the chain cannot be followed.
bool resolve_links(std::string& path);

enum class FileRead { Read, Missing, NotRegular, TooLarge, Failed };
// The whole content of the regular file `path` names, if it holds at most `limit` bytes. Never
// blocks on a FIFO or reads a device. Failed leaves errno set.
FileRead read_regular_file(const std::string& path, size_t limit, std::string& out);

enum class FileReplace { Written, NotRegular, Failed };
// Replaces the file `path` names (through symbolic links) with `bytes`: written to a temporary
// file beside it, which is renamed over it once whole, so a failure leaves the old file as it was.
// An existing file keeps its permissions and, where allowed, its owner; a new one gets `new_mode`
// less the umask. Anything but a regular file is left alone (NotRegular). Failed leaves errno set.
FileReplace replace_regular_file(const std::string& path, const std::string& bytes, mode_t new_mode);

}  // namespace dl
