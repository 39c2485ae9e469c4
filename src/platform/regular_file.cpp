#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <string>

namespace dl {

namespace {

// Closes a descriptor and keeps the errno of what failed before.
void close_keeping_errno(int fd) {
    const int err = errno;
    ::close(fd);
    errno = err;
}

bool write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// A new file beside `target` that no one else opened: a short name, so that any legal name of the
// target still leaves room for it.
int create_beside(const std::string& target, mode_t mode, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "" : target.substr(0, slash);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = dir + "/.dewlark-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool resolve_links(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
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

FileRead read_regular_file(const std::string& path, size_t limit, std::string& out) {
    out.clear();
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Failed;
    if (!S_ISREG(st.st_mode)) return FileRead::NotRegular;
    // Not blocking on open: the name may have become a FIFO since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return FileRead::NotRegular;
    }
    // The size it says is only a hint (files of /proc say 0): reading stops one byte past the limit.
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close_keeping_errno(fd);
            out.clear();
            return FileRead::Failed;
        }
        if (n == 0) break;
        if (out.size() + size_t(n) > limit) {
            ::close(fd);
            out.clear();
            return FileRead::TooLarge;
        }
        out.append(buf, size_t(n));
    }
    ::close(fd);
    return FileRead::Read;
}

FileReplace replace_regular_file(const std::string& path, const std::string& bytes, mode_t new_mode) {
    std::string target = path;
    if (!resolve_links(target)) return FileReplace::Failed;
    struct stat st;
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return FileReplace::Failed;
    if (exists && !S_ISREG(st.st_mode)) return FileReplace::NotRegular;

    std::string temp;
    // A replacement stays private until it has the old file's permissions.
    const int fd = create_beside(target, exists ? 0600 : new_mode, temp);
    if (fd < 0) return FileReplace::Failed;
    auto give_up = [&](bool open) {
        if (open) close_keeping_errno(fd);
        const int err = errno;
        ::unlink(temp.c_str());
        errno = err;
        return FileReplace::Failed;
    };
    if (!write_all(fd, bytes)) return give_up(true);
    if (exists) {
        // The owner first: a change of owner may clear set-id bits, which fchmod then puts back.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0 && ::fchown(fd, uid_t(-1), st.st_gid) != 0) {
            // Not ours to give away: the file becomes ours, with its old permissions.
        }
        if (::fchmod(fd, st.st_mode & 07777) != 0) return give_up(true);
    }
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) return give_up(true);
    if (::close(fd) != 0) return give_up(false);
    // The name may have become something else meanwhile; a rename over a folder fails by itself.
    struct stat now;
    if (::stat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        ::unlink(temp.c_str());
        return FileReplace::NotRegular;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) return give_up(false);
    return FileReplace::Written;
}

}  // namespace dl
