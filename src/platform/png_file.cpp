#include "platform/png_file_qt.h"

#include <QBuffer>
#include <QByteArray>
#include <cerrno>
#include <cstring>

#include "platform/regular_file.h"

namespace dl {

bool write_png_file(const QImage& image, const std::string& path, std::string& error) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "the picture could not be encoded";
        return false;
    }
    // As a plain create would make it; an existing picture keeps its permissions.
    switch (replace_regular_file(path, std::string(bytes.constData(), size_t(bytes.size())), 0666)) {
        case FileReplace::Written: return true;
        case FileReplace::NotRegular: error = "not a regular file"; return false;
        case FileReplace::Failed: error = std::strerror(errno); return false;
    }
    return false;
}

}  // namespace dl
