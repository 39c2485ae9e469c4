// Runs the batch analysis road on arbitrary bytes: open the file, size the buffers from its header
// and the settings, convert, and analyse the first blocks, as --analyse would. The first four bytes
// choose the time slice, the transform size and memory or streaming mode, so the sizing is tried at
// its extremes; run with a small malloc limit so that any size taken on trust from a header shows.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/batch_analyse.h"
#include "app/batch_run.h"
#include "audio/source.h"
#include "platform/message_box.h"
#include "state/shell.h"
#include "state/source.h"

namespace {
std::string g_path;
constexpr size_t kMostBuffers = 6;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The font libraries keep caches they fill lazily as new text is drawn; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libfreetype.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char dir[] = "/tmp/dewlark-analyse-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    setenv("USERPROFILE", dir, 1);  // the defaults, whatever the user's own settings say
    g_path = std::string(dir) + "/input";
    // One good file first, so the font libraries' one-time set-up is not taken for a leak.
    static const uint8_t wave[] = {0, 8, 0, 0, 'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                   16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1f, 0, 0, 0x40, 0x1f, 0, 0,
                                   1, 0, 8, 0, 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
    LLVMFuzzerTestOneInput(wave, sizeof wave);
    // The program's own messages (a corrected value, a file refused) are not the fuzzer's output;
    // the sanitizers and the fuzzer write their reports to the descriptor itself.
    if (std::FILE* quiet = std::fopen("/dev/null", "w")) stderr = quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data + 4, 1, size - 4, f);
    std::fclose(f);

    static const int kDeltatimes[] = {32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 100, 1000, 3000,
                                      7, 65535};
    dl::BatchOptions options;
    options.sets = {{"deltatime", std::to_string(kDeltatimes[data[0] % 16])},
                    {"fftparam", std::to_string(8 + data[1] % 9)},
                    {"OnMem", std::to_string(data[2] & 1)},
                    {"MemSize", std::to_string(2 + data[3] % 4)}};
    {
        dl::BatchRun run;
        dl::set_message_box_hook([](const dl::MessageBoxRequest&) {});
        if (run.Prepare(options)) {
            dl::FileName = g_path;
            dl::SourceState = {dl::SourceMode::File, false};
            if (dl::OpenSource() == dl::Result::Done) dl::AnalyseOpenSource([](double, const dl::BlockAnalysis&) {}, kMostBuffers);
        }
    }
    return 0;
}
