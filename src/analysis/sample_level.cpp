#include "analysis/sample_level.h"

#include <algorithm>
#include <cmath>

namespace dl {

void AddSampleLevel(const float* samples, size_t count, double& peak_so_far, double& sum_so_far) {
    constexpr double kLeast = 1.0 / 4294967296.0;
    // Four sums side by side: a single sum waits on its last addition at every sample.
    double peak[4] = {peak_so_far, 0, 0, 0}, sum[4] = {sum_so_far, 0, 0, 0};
    auto take = [&](size_t lane, float sample) {
        double x = std::fabs(double(sample));
        x = x < kLeast ? 0.0 : x;
        peak[lane] = std::max(peak[lane], x);
        sum[lane] += x * x;
    };
    size_t i = 0;
    for (; i + 4 <= count; i += 4)
        for (size_t lane = 0; lane < 4; ++lane) take(lane, samples[i + lane]);
    for (; i < count; ++i) take(0, samples[i]);
    peak_so_far = std::max(std::max(peak[0], peak[1]), std::max(peak[2], peak[3]));
    sum_so_far = (sum[0] + sum[1]) + (sum[2] + sum[3]);
}

}  // namespace dl
