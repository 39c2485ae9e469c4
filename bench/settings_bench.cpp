// Start-up reading of the settings from a large file: about 10 MB of other sections and comments
// around the program's own section, as a file shared with other tools or grown by hand may be.
// Prints the median time of load_settings and of one single-key lookup on the same file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_registry.h"
#include "platform/profile.h"
#include "state/settings.h"

namespace {

using dl::bench::median;
// Processor time of this thread: a neighbour loading the machine slows it far less than the clock.
const auto cpu_ns = dl::bench::thread_cpu_ns;

void run_settings() {
    char dir[] = "/tmp/dewlark-bench-XXXXXX";
    if (!mkdtemp(dir)) return;
    const std::string path = std::string(dir) + "/dewlark.INI";
    {
        std::ofstream out(path, std::ios::binary);
        const std::string filler(100, 'x');
        for (int i = 0; i < 50000; ++i) out << "; " << filler << "\n";
        for (int i = 0; i < 20000; ++i) out << "[other" << i << "]\nkey=" << filler << "\n";
        out << "[dewlark]\nsex=1\nfreq=44100\n";
        for (int i = 0; i < 30000; ++i) out << "; " << filler << "\n";
    }
    const char* old = std::getenv("USERPROFILE");
    const std::string kept = old ? old : "";
    setenv("USERPROFILE", dir, 1);

    std::vector<double> load, lookup;
    for (int i = 0; i < 7; ++i) {
        double t0 = cpu_ns();
        dl::load_settings();
        load.push_back(cpu_ns() - t0);
        t0 = cpu_ns();
        volatile size_t n = dl::get_profile_string("dewlark", "freq", "", 32, path).size();
        (void)n;
        lookup.push_back(cpu_ns() - t0);
    }
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::printf("settings: %.1f MB file, load_settings %.1f ms, one key %.1f ms (median of 7)\n",
                double(in.tellg()) / 1e6, median(load) / 1e6, median(lookup) / 1e6);

    if (old) setenv("USERPROFILE", kept.c_str(), 1);
    else unsetenv("USERPROFILE");
    unlink(path.c_str());
    rmdir(dir);
}

const dl::bench::Registration reg("settings", run_settings);

}  // namespace
