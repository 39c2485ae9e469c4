// Any command line, cut into tokens at NUL bytes: the window's switches and file name, the long
// options the window refuses, and the batch commands' options with their --set overrides. Nothing
// may crash, and the settings the switches and overrides leave are in range.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "app/command_line.h"
#include "app/usage.h"
#include "state/reset.h"
#include "state/settings.h"

// The program's own messages (a bad option, a corrected value) are not the fuzzer's output; the
// sanitizers and the fuzzer write their reports to the descriptor itself.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::FILE* quiet = std::fopen("/dev/null", "w")) stderr = quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> tokens(1);
    for (size_t i = 0; i < size && tokens.size() <= 40; ++i) {
        if (data[i] == 0) tokens.emplace_back();
        else tokens.back() += char(data[i]);
    }

    dl::ResetProcessState();
    const dl::CommandLine cl = dl::ParseCommandLine(tokens);
    const dl::SettingsRecord& s = dl::Settings;
    if ((s.channel != 1 && s.channel != 2) || (s.bits != 8 && s.bits != 16) || s.freq < 1 || s.freq > 384000)
        __builtin_trap();
    // A switch is never taken for the file name.
    const std::string& name = cl.file_name;
    if (name.size() == 2 && name[0] == '/' && std::string("PSMHOLpsmhol").find(name[1]) != std::string::npos)
        __builtin_trap();
    if (name.size() >= 2 && name[0] == '/' && name.find_first_not_of("0123456789", 1) == std::string::npos)
        __builtin_trap();
    (void)dl::UnknownLongOption(tokens);

    dl::BatchOptions options;
    if (dl::ParseBatchOptions(tokens, {"--device", "--seconds"}, options)) {
        if (options.seconds < -1) __builtin_trap();
        std::vector<std::string> corrections;
        for (const auto& [key, value] : options.sets) dl::set_setting_from_text(key, value, &corrections);
        if (s.deltatime < 32 || s.deltatime > 32768 || s.fftparam < 8 || s.fftparam > 16 || s.MemSize < 2 ||
            s.MemSize > 255 || s.display < 109 || s.display > 112 || s.mado < 0 || s.mado > 7)
            __builtin_trap();
    }
    dl::ResetProcessState();
    return 0;
}
