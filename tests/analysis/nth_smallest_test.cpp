// The k-th smallest of a spectrum's powers by their bits: the same value std::nth_element leaves at
// k, for every k, whatever the values share (ties, zeros, subnormals, one exponent) or hold (negative
// or infinite values are ordered as a whole).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "analysis/nth_smallest.h"

namespace {

double by_sorting(std::vector<double> v, size_t k) {
    std::sort(v.begin(), v.end());
    return v[k];
}

TEST(NthSmallest, EveryPositionOfPowersAsASortWouldPlaceIt) {
    std::mt19937 gen(3);
    std::exponential_distribution<double> noise(1.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<std::vector<double>> sets;
    std::vector<double> v(4095);
    for (double& x : v) x = noise(gen) * 1e6;  // a noise floor's powers
    sets.push_back(v);
    for (double& x : v) x = std::floor(unit(gen) * 5);  // ties and zeros
    sets.push_back(v);
    for (double& x : v) x = 1.0 + std::ldexp(std::floor(unit(gen) * 64), -52);  // one exponent, last bits apart
    sets.push_back(v);
    for (double& x : v) x = std::ldexp(unit(gen), -1070 + int(unit(gen) * 40));  // subnormal and tiny
    sets.push_back(v);
    for (double& x : v) x = std::pow(10.0, unit(gen) * 600 - 300);  // every exponent
    sets.push_back(v);
    sets.push_back({7.0});
    std::vector<double> scratch;
    for (const std::vector<double>& set : sets) {
        const std::vector<double> before = set;
        for (size_t k = 0; k < set.size(); k += set.size() > 100 ? 37 : 1) {
            ASSERT_EQ(dl::NthSmallest(set.data(), set.size(), k, scratch), by_sorting(set, k)) << k;
        }
        const size_t middle = set.size() / 2, last = set.size() - 1;
        EXPECT_EQ(dl::NthSmallest(set.data(), set.size(), middle, scratch), by_sorting(set, middle));
        EXPECT_EQ(dl::NthSmallest(set.data(), set.size(), last, scratch), by_sorting(set, last));
        EXPECT_EQ(set, before) << "the values are left in their order";
    }
    // Values outside the powers' range are ordered as a whole.
    const std::vector<double> odd = {3.0, -1.0, std::numeric_limits<double>::infinity(), 0.5, -0.0, 2.0};
    for (size_t k = 0; k < odd.size(); ++k) EXPECT_EQ(dl::NthSmallest(odd.data(), odd.size(), k, scratch), by_sorting(odd, k)) << k;
}

}  // namespace
