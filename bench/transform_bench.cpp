// The per-tick real transform (fft2_lower of N real points: bins 0..N/2, as the tick reads them)
// against FFTW's r2c plan (double, FFTW_MEASURE; the same bins) on the same input, measured
// interleaved in one process.
//
// fft2_lower overwrites its input, so each of its calls is preceded by a copy of the signal into
// re; the copy is timed on its own, interleaved with the others, and its median subtracted.
// FFTW's out-of-place r2c keeps its input and needs no copy. Beside each size: the passes over
// the data of its complex half-size transform, and the ratio and passes with radix-4 passes only.
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/fft_fast.h"

#include "analysis/fft.h"
#include "bench_registry.h"

namespace {

using dl::bench::median;
// Processor time of this thread: a neighbour loading the machine slows it far less than the clock.
const auto cpu_ns = dl::bench::thread_cpu_ns;

void run_transform() {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> sample(-32768.0, 32768.0);
    for (int p = 8; p <= 16; ++p) {
        const int n = 1 << p;
        std::vector<double> signal(n), re(n), im(n);
        for (double& v : signal) v = std::round(sample(rng));

        double* in = fftw_alloc_real(n);
        fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
        fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
        std::memcpy(in, signal.data(), n * sizeof(double));

        // About 50 microseconds per batch, the three kinds in turn (order alternating) so that
        // load from other processes falls on all of them alike.
        const int reps = std::max(2, (1 << 20) / (n * p));
        const int batches = 101;
        std::vector<double> ours, copies, theirs;
        std::memcpy(re.data(), signal.data(), n * sizeof(double));
        dl::fft2_lower(re.data(), im.data(), p);  // builds the tables once
        const auto time_ours = [&] {
            const double t0 = cpu_ns();
            for (int r = 0; r < reps; ++r) {
                std::memcpy(re.data(), signal.data(), n * sizeof(double));
                dl::fft2_lower(re.data(), im.data(), p);
            }
            ours.push_back((cpu_ns() - t0) / reps);
        };
        // The same transform with radix-4 passes only, for comparison.
        std::vector<double> ours4;
        const auto time_ours4 = [&] {
            dl::fft_fast::use_radix8 = false;
            const double t0 = cpu_ns();
            for (int r = 0; r < reps; ++r) {
                std::memcpy(re.data(), signal.data(), n * sizeof(double));
                dl::fft2_lower(re.data(), im.data(), p);
            }
            ours4.push_back((cpu_ns() - t0) / reps);
            dl::fft_fast::use_radix8 = true;
        };
        const auto time_fftw = [&] {
            const double t0 = cpu_ns();
            for (int r = 0; r < reps; ++r) fftw_execute(plan);
            theirs.push_back((cpu_ns() - t0) / reps);
        };
        const auto time_copy = [&] {
            const double t0 = cpu_ns();
            for (int r = 0; r < reps; ++r) {
                std::memcpy(re.data(), signal.data(), n * sizeof(double));
                asm volatile("" : : "r"(re.data()) : "memory");
            }
            copies.push_back((cpu_ns() - t0) / reps);
        };
        for (int b = 0; b < batches; ++b) {
            if (b % 2) {
                time_ours();
                time_fftw();
            } else {
                time_fftw();
                time_ours();
            }
            time_copy();
            time_ours4();
        }
        const double ours_ns = std::max(0.0, median(ours) - median(copies));
        const double fftw_ns = median(theirs);
        // The real transform of n points runs a complex one of n/2.
        const dl::fft_fast::Plan* half = dl::fft_fast::plan(p - 1);
        dl::fft_fast::use_radix8 = false;
        const int passes4 = half ? dl::fft_fast::passes(*half) : 0;
        dl::fft_fast::use_radix8 = true;
        const int passes = half ? dl::fft_fast::passes(*half) : 0;
        std::printf("transform N=%d ours_ns=%.0f fftw_ns=%.0f ratio=%.3f passes=%d radix4_only_ratio=%.3f "
                    "radix4_only_passes=%d\n",
                    n, ours_ns, fftw_ns, ours_ns / fftw_ns, passes, (median(ours4) - median(copies)) / fftw_ns,
                    passes4);
        std::fflush(stdout);
        fftw_destroy_plan(plan);
        fftw_free(out);
        fftw_free(in);
    }
}

const dl::bench::Registration registration("transform", run_transform);

}  // namespace
