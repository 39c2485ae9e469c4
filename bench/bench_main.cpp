// dewlark-bench [CASE...]: runs the named cases, or all of them, each printing its summary lines.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "bench_registry.h"

namespace dl::bench {

std::vector<Case>& cases() {
    static std::vector<Case> all;
    return all;
}

double median(std::vector<double>& samples) {
    if (samples.empty()) return 0;
    const auto mid = samples.begin() + samples.size() / 2;
    std::nth_element(samples.begin(), mid, samples.end());
    return *mid;
}

double now_ns() {
    return std::chrono::duration<double, std::nano>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace dl::bench

int main(int argc, char** argv) {
    auto& all = dl::bench::cases();
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    if (argc > 1 && (std::strcmp(argv[1], "--list") == 0)) {
        for (const auto& c : all) std::printf("%s\n", c.name.c_str());
        return 0;
    }
    int ran = 0;
    for (const auto& c : all) {
        bool wanted = argc <= 1;
        for (int i = 1; i < argc; ++i) wanted = wanted || c.name == argv[i];
        if (!wanted) continue;
        c.run();
        std::fflush(stdout);
        ++ran;
    }
    if (ran == 0) {
        std::fprintf(stderr, "dewlark-bench: no such case (try --list)\n");
        return 2;
    }
    return 0;
}
