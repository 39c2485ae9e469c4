// dewlark-bench [CASE...]: runs the named cases, or all of them, each printing its summary lines.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

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

double thread_cpu_ns() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

namespace {

// A cache's size from the kernel's description of the first CPU ("48K"), or empty.
std::string cache_size(int level, const char* type) {
    for (int i = 0; i < 8; ++i) {
        const std::string dir = "/sys/devices/system/cpu/cpu0/cache/index" + std::to_string(i) + "/";
        std::ifstream l(dir + "level"), t(dir + "type"), s(dir + "size");
        int lv = 0;
        std::string ty, size;
        if (!(l >> lv) || !(t >> ty) || !(s >> size)) continue;
        if (lv == level && (ty == type || ty == "Unified")) return size;
    }
    return "?";
}

// Every figure depends on the machine: the summary says which one gave it.
void print_machine() {
    std::string model = "unknown CPU";
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    std::printf("machine: %s, %u cores, L1d %s, L2 %s, L3 %s\n", model.c_str(), std::thread::hardware_concurrency(),
                cache_size(1, "Data").c_str(), cache_size(2, "Data").c_str(), cache_size(3, "Data").c_str());
}

}  // namespace

}  // namespace dl::bench

int main(int argc, char** argv) {
    auto& all = dl::bench::cases();
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    if (argc > 1 && (std::strcmp(argv[1], "--list") == 0)) {
        for (const auto& c : all) std::printf("%s\n", c.name.c_str());
        return 0;
    }
    dl::bench::print_machine();
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
