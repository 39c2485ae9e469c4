#pragma once
// A small registry of benchmark cases: each case is a function that measures something and
// prints its own summary lines. Cases register themselves from their own files:
//
//   static const dl::bench::Registration reg("transform", run_transform);
#include <string>
#include <vector>

namespace dl::bench {

struct Case {
    std::string name;
    void (*run)();
};

std::vector<Case>& cases();

struct Registration {
    Registration(const char* name, void (*run)()) { cases().push_back({name, run}); }
};

// Median of the samples (the vector is reordered).
double median(std::vector<double>& samples);
// Nanoseconds of a steady clock: for what waits on devices, files or other processes.
double now_ns();
// Nanoseconds of this thread's processor time: for computation, which a neighbour loading the
// machine then slows far less than it slows the clock.
double thread_cpu_ns();

}  // namespace dl::bench
