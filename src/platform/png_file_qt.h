#pragma once
// Pictures written into a temporary file beside the destination, renamed over it only once every
// byte has been written and the file closed; only a regular file (or none) is replaced, through
// symbolic links, and keeps its permissions.
#include <QImage>

#include <string>

namespace dl {

// False with the reason in `error` when the picture could not be written; the destination is then
// as it was (absent, its old content, or the device, FIFO or folder the name means).
bool write_png_file(const QImage& image, const std::string& path, std::string& error);

}  // namespace dl
