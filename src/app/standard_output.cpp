#include "app/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dl {

namespace {

int g_failure = 0;  // the errno of the first failed write, 0 while none failed

void note_failure() {
    if (g_failure == 0) g_failure = errno ? errno : EIO;
}

}  // namespace

void WriteOutput(std::string_view text) {
    if (g_failure || text.empty()) return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) note_failure();
}

void FlushOutput() {
    if (g_failure) return;
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) note_failure();
}

bool OutputFailed() { return g_failure != 0; }

bool OutputReaderGone() { return g_failure == EPIPE; }

int FinishOutput(int status) {
    FlushOutput();
    if (!g_failure) {
        errno = 0;
        if (std::fclose(stdout) != 0) note_failure();
    }
    if (!g_failure || g_failure == EPIPE) return status;
    std::fprintf(stderr, "dewlark: cannot write the output: %s\n", std::strerror(g_failure));
    return 1;
}

void ResetOutputFailure() {
    g_failure = 0;
    std::clearerr(stdout);
}

}  // namespace dl
