#include "platform/png_file_qt.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <cerrno>
#include <cstring>

namespace dl {

namespace {

std::string reason(int code) { return std::strerror(code); }

}  // namespace

bool write_png_file(const QImage& image, const std::string& path, std::string& error) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "the picture could not be encoded";
        return false;
    }
    // Beside the destination, so the rename stays on one file system.
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = reason(errno);
        return false;
    }
    // As a plain create would make it (mkstemp's own mode is 0600).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const char* p = bytes.constData();
    size_t left = size_t(bytes.size());
    int failure = 0;
    while (left > 0 && !failure) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failure = n < 0 ? errno : EIO;
        else p += n, left -= size_t(n);
    }
    if (!failure && ::fsync(fd) != 0 && errno != EINVAL) failure = errno;
    if (::close(fd) != 0 && !failure) failure = errno;
    if (!failure && ::rename(temp.c_str(), path.c_str()) != 0) failure = errno;
    if (failure) {
        ::unlink(temp.c_str());
        error = reason(failure);
        return false;
    }
    return true;
}

}  // namespace dl
