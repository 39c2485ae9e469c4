// The true peak's cost: the program's filter against the plain one (each phase summed over a chunk,
// one sample after another, as the filter was written before), on a minute of 44.1 kHz stereo
// pink-ish noise, in rounds that take turns, per-thread CPU time. Both must read the same peak.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "analysis/true_peak.h"
#include "bench_registry.h"

namespace {

// Processor time of this thread: the machine may be shared, and the target is one core's worth.
const auto cpu_ns = dl::bench::thread_cpu_ns;


// The plain filter over interleaved 16-bit stereo, chunk by chunk and phase by phase.
double plain_peak(const std::vector<int16_t>& frames) {
    const size_t n = frames.size() / 2, chunk = 1024;
    float largest = 0;
    std::vector<float> x(chunk + 11), s(chunk), past(2 * 11, 0.0f);
    for (size_t start = 0; start < n; start += chunk) {
        const size_t m = std::min(chunk, n - start);
        for (size_t c = 0; c < 2; ++c) {
            std::copy(past.begin() + long(c * 11), past.begin() + long(c * 11 + 11), x.begin());
            for (size_t i = 0; i < m; ++i) {
                x[11 + i] = float(frames[(start + i) * 2 + c]) / 32768.0f;
                largest = std::max(largest, std::fabs(x[11 + i]));
            }
            std::copy(x.begin() + long(m), x.begin() + long(m + 11), past.begin() + long(c * 11));
            for (const auto& phase : dl::kTruePeakPhases) {
                std::fill(s.begin(), s.begin() + long(m), 0.0f);
                for (size_t k = 0; k < 12; ++k)
                    for (size_t i = 0; i < m; ++i) s[i] += phase[k] * x[k + i];
                for (size_t i = 0; i < m; ++i) largest = std::max(largest, std::fabs(s[i]));
            }
        }
    }
    return largest;
}

void run_true_peak() {
    const size_t frames = 44100 * 60;
    std::vector<int16_t> sound(frames * 2);
    std::mt19937 random(3);
    std::normal_distribution<double> white(0, 6000);
    double pink = 0;
    for (int16_t& v : sound) {
        pink = 0.97 * pink + white(random);
        v = int16_t(std::clamp(std::lround(pink * 0.3), -32768L, 32767L));
    }
    std::vector<double> program, plain;
    double program_peak = 0, plain_read = 0;
    for (int round = 0; round < 9; ++round) {
        double t = cpu_ns();
        dl::TruePeak tp(2);
        // In the blocks of a playback tick.
        for (size_t at = 0; at < frames; at += 4096) tp.add(sound.data() + 2 * at, std::min<size_t>(4096, frames - at));
        program.push_back(cpu_ns() - t);
        program_peak = tp.peak();
        t = cpu_ns();
        plain_read = plain_peak(sound);
        plain.push_back(cpu_ns() - t);
    }
    const double a = dl::bench::median(program), b = dl::bench::median(plain);
    std::printf("true peak, 60 s of 44.1 kHz stereo, median of 9 interleaved rounds, thread CPU:\n");
    std::printf("  program %8.1f ms   plain %8.1f ms   ratio %.3f   peaks %s (%.9f)\n", a / 1e6, b / 1e6, a / b,
                program_peak == plain_read ? "equal" : "DIFFER", program_peak);
}

const dl::bench::Registration registration("truepeak", run_true_peak);

}  // namespace
