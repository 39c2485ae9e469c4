#include "platform/riff.h"

#include "platform/wave_format.h"


#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dl {

std::unique_ptr<RiffFile> RiffFile::open(const std::string& path) {
    if (path.empty()) return nullptr;
    // Non-blocking so that a FIFO or a device node cannot stall the open; such files are refused below.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    // Regular files never block; plain blocking reads from here on.
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return std::unique_ptr<RiffFile>(new RiffFile(fd, uint64_t(st.st_size)));
}

RiffFile::RiffFile(int fd, uint64_t size) : fd_(fd), size_(size), cache_(new uint8_t[kCache]) {}

RiffFile::~RiffFile() { ::close(fd_); }

bool RiffFile::read_at(uint64_t at, void* buffer, size_t n) {
    uint64_t old = pos_;
    pos_ = at;
    bool ok = read(buffer, int64_t(n)) == int64_t(n);
    pos_ = old;
    return ok;
}

int64_t RiffFile::read(void* buffer, int64_t n) {
    if (n < 0) return -1;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < n) {
        if (pos_ >= cache_at_ && pos_ < cache_at_ + cache_len_) {
            size_t off = size_t(pos_ - cache_at_);
            size_t k = std::min<uint64_t>(cache_len_ - off, uint64_t(n - done));
            std::memcpy(out + done, cache_.get() + off, k);
            done += int64_t(k);
            pos_ += k;
            continue;
        }
        if (pos_ >= size_) break;
        uint64_t want = uint64_t(n - done);
        if (want >= kCache) {
            // Large reads go straight into the caller's buffer.
            ssize_t r = ::pread(fd_, out + done, size_t(std::min<uint64_t>(want, 1u << 30)), off_t(pos_));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return done > 0 ? done : -1;
            if (r == 0) break;
            done += r;
            pos_ += uint64_t(r);
            continue;
        }
        ssize_t r = ::pread(fd_, cache_.get(), kCache, off_t(pos_));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return done > 0 ? done : -1;
        if (r == 0) break;
        cache_at_ = pos_;
        cache_len_ = size_t(r);
    }
    return done;
}

int64_t RiffFile::seek(int64_t offset, int origin) {
    int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? int64_t(pos_) : origin == SEEK_END ? int64_t(size_) : -1;
    if (base < 0) return -1;
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return -1;
    pos_ = uint64_t(base + offset);
    return int64_t(pos_);
}

bool RiffFile::find(RiffChunk& chunk, uint64_t end, uint32_t id, bool riff) {
    end = std::min(end, size_);
    uint64_t at = pos_;
    while (at <= end && end - at >= 8) {
        uint8_t h[8];
        if (!read_at(at, h, 8)) return false;
        RiffChunk c;
        c.id = le32(h);
        c.declared_size = le32(h + 4);
        c.data_offset = at + 8;
        c.size = uint32_t(std::min<uint64_t>(c.declared_size, end - c.data_offset));
        if (c.id == id) {
            if (!riff) {
                chunk = c;
                pos_ = c.data_offset;
                return true;
            }
            uint8_t form[4];
            if (c.size >= 4 && read_at(c.data_offset, form, 4)) {
                c.form_type = le32(form);
                if (chunk.form_type == 0 || chunk.form_type == c.form_type) {
                    chunk = c;
                    pos_ = c.data_offset + 4;
                    return true;
                }
            }
        }
        // Every step moves at least past the 8-byte header.
        at = std::min<uint64_t>(c.data_offset + c.size + (c.size & 1u), end);
    }
    return false;
}

bool RiffFile::descend_riff(RiffChunk& chunk) { return find(chunk, size_, fourcc("RIFF"), true); }

bool RiffFile::descend_chunk(RiffChunk& chunk, const RiffChunk& parent, uint32_t id) {
    // The form type of a RIFF or LIST chunk is not a child.
    uint64_t first = parent.data_offset + (parent.id == fourcc("RIFF") || parent.id == fourcc("LIST") ? 4 : 0);
    if (pos_ < first) pos_ = first;
    return find(chunk, parent.data_offset + parent.size, id, false);
}

void RiffFile::ascend(const RiffChunk& chunk) {
    uint64_t next = chunk.data_offset + chunk.size + (chunk.size & 1u);
    pos_ = std::min(next, std::max<uint64_t>(size_, chunk.data_offset));
}

}  // namespace dl
