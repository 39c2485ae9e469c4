#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace dl {

// Four-character code as it is stored in the file ("RIFF" -> 'R' in the low byte).
constexpr uint32_t fourcc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

// One chunk as found by the walker. `size` never reaches past the file or the parent chunk;
// `declared_size` is what the header said.
struct RiffChunk {
    uint32_t id = 0;
    uint32_t size = 0;
    uint32_t declared_size = 0;
    uint32_t form_type = 0;    // RIFF/LIST only; 0 when looking for any form type
    uint64_t data_offset = 0;  // first byte after the 8-byte header
};

// A read-only sound file with a bounds-checked RIFF chunk walker. Every search moves forward by at
// least one header, so no size in the file can make it loop or step back.
class RiffFile {
public:
    // Null when the path cannot be opened or is not a regular file (directories, FIFOs and devices
    // are refused at once, without blocking).
    static std::unique_ptr<RiffFile> open(const std::string& path);
    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    uint64_t file_size() const { return size_; }
    uint64_t tell() const { return pos_; }

    // From the current position, finds a top-level "RIFF" chunk whose form type is chunk.form_type
    // (any form type when 0) and leaves the position after the form type.
    bool descend_riff(RiffChunk& chunk);
    // From the current position, finds the chunk `id` inside `parent` and leaves the position at its
    // first data byte.
    bool descend_chunk(RiffChunk& chunk, const RiffChunk& parent, uint32_t id);
    // Moves past the chunk and its pad byte (as far as the file holds them).
    void ascend(const RiffChunk& chunk);

    // Reads up to n bytes; returns the count read (short at the end of the file), -1 on an error.
    int64_t read(void* buffer, int64_t n);
    // origin as for lseek; returns the new position or -1 (a negative target is refused).
    int64_t seek(int64_t offset, int origin);

private:
    RiffFile(int fd, uint64_t size);
    bool find(RiffChunk& chunk, uint64_t end, uint32_t id, bool riff);
    bool read_at(uint64_t at, void* buffer, size_t n);

    int fd_;
    uint64_t size_;
    uint64_t pos_ = 0;
    // Small reads (headers, a byte-wise sync search) come from this window of the file.
    static constexpr size_t kCache = 16384;
    std::unique_ptr<uint8_t[]> cache_;
    uint64_t cache_at_ = 0;
    size_t cache_len_ = 0;
};

}  // namespace dl
