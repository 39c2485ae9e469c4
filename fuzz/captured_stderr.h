// The program's messages on standard error, kept in memory so that a target can check what a
// call said (a failure says why; a success says nothing). The sanitizers and the fuzzer write their
// reports to the descriptor itself, not through this stream.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

namespace captured_stderr {

inline char* g_buffer = nullptr;
inline size_t g_size = 0;

inline void install() {
    std::FILE* memory = open_memstream(&g_buffer, &g_size);
    if (!memory) std::abort();
    stderr = memory;
}

// Forgets what was said so far; the memory is used again.
inline void clear() {
    std::fflush(stderr);
    std::fseek(stderr, 0, SEEK_SET);
}

// What was said since the last clear().
inline std::string said() {
    std::fflush(stderr);
    const long end = std::ftell(stderr);
    return end > 0 ? std::string(g_buffer, size_t(end)) : std::string();
}

}  // namespace captured_stderr
