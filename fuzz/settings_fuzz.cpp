// Any settings file: it loads with every value in range, and what the program then writes it reads
// back without a correction and writes back the same.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform/regular_file.h"
#include "state/reset.h"
#include "state/settings.h"

namespace {

std::string g_path;

std::string read_all(const std::string& path) {
    std::string text;
    return dl::read_regular_file(path, dl::kProfileFileLimit, text) == dl::FileRead::Read ? text : std::string();
}

// The ranges the program relies on once a file is loaded.
bool in_range(const dl::SettingsRecord& s) {
    return s.use_onmei >= 0 && s.use_onmei <= 2 && s.freqnum >= 0 && s.freqnum <= 999 &&
           (s.graph == 116 || s.graph == 117) && s.PeakHold >= 0 && s.PeakHold <= 2 && s.deltatime >= 32 &&
           s.deltatime <= 32768 && s.MemSize >= 2 && s.MemSize <= 255 && (s.bits == 8 || s.bits == 16) &&
           (s.channel == 1 || s.channel == 2) && s.freq >= 1 && s.freq <= 384000 && s.display >= 109 &&
           s.display <= 112 && s.fftparam >= 8 && s.fftparam <= 16 && (s.futosa == 1 || s.futosa == 2) &&
           s.wavmode >= 0 && s.wavmode <= 7 && s.mado >= 0 && s.mado <= 7;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where there is such a folder: every save syncs the file to its disk.
    char shm[] = "/dev/shm/dewlark-settings-fuzz-XXXXXX", tmp[] = "/tmp/dewlark-settings-fuzz-XXXXXX";
    const char* dir = mkdtemp(shm);
    if (!dir) dir = mkdtemp(tmp);
    if (!dir) std::abort();
    setenv("USERPROFILE", dir, 1);
    g_path = std::string(dir) + "/dewlark.INI";
    // The program's own messages (a corrected value, a file refused) are not the fuzzer's output;
    // the sanitizers and the fuzzer write their reports to the descriptor itself.
    if (std::FILE* quiet = std::fopen("/dev/null", "w")) stderr = quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    dl::ResetProcessState();
    std::vector<std::string> corrections;
    dl::load_settings(&corrections);
    if (!in_range(dl::Settings)) __builtin_trap();
    for (const std::string& c : corrections)
        if (c.find(" is out of range, using ") == std::string::npos) __builtin_trap();
    if (dl::save_settings() != dl::ProfileWrite::Written) __builtin_trap();

    dl::ResetProcessState();
    corrections.clear();
    dl::load_settings(&corrections);
    if (!corrections.empty() || !in_range(dl::Settings)) __builtin_trap();
    dl::save_settings();
    const std::string written = read_all(g_path);
    dl::ResetProcessState();
    dl::load_settings();
    dl::save_settings();
    if (read_all(g_path) != written) __builtin_trap();
    return 0;
}
