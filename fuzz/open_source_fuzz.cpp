// Feeds arbitrary bytes to the sound-file reader as a file on disk, the way a dropped file arrives.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "audio/source.h"
#include "platform/headless_app.h"
#include "platform/message_box.h"
#include "state/shell.h"
#include "state/source.h"

namespace {
std::string g_path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The font libraries keep caches they fill lazily as new text is drawn; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libfreetype.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    dl::ensure_headless_application();
    dl::set_message_box_hook([](const dl::MessageBoxRequest&) {});
    char name[] = "/tmp/dewlark-open-source-fuzz-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    g_path = name;
    // Draw the panel once so that the font libraries' one-time set-up is not taken for a leak.
    static const uint8_t wave[] = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                   16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1f, 0, 0, 0x40, 0x1f, 0, 0,
                                   1, 0, 8, 0, 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
    LLVMFuzzerTestOneInput(wave, sizeof wave);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    dl::FileName = g_path;
    dl::SourceState.mode = dl::SourceMode::File;
    if (dl::OpenSource() == dl::Result::Done) {
        // What playback would read first: the data as far as it goes.
        uint8_t buf[4096];
        uint32_t left = dl::SourceInfo.DataRemaining;
        while (left > 0) {
            int64_t got = dl::SourceFile->read(buf, left < sizeof buf ? left : sizeof buf);
            if (got <= 0) break;
            left -= uint32_t(got);
        }
    }
    dl::CloseSource();
    dl::FreeFormatRecord();
    return 0;
}
