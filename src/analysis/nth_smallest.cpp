#include "analysis/nth_smallest.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

namespace dl {

namespace {

double by_ordering(const double* values, size_t count, size_t k, std::vector<double>& scratch) {
    scratch.assign(values, values + count);
    std::nth_element(scratch.begin(), scratch.begin() + std::ptrdiff_t(k), scratch.end());
    return scratch[k];
}

}  // namespace

double NthSmallest(const double* values, size_t count, size_t k, std::vector<double>& scratch) {
    // A non-negative double's bits order as its value does: the top 12 (sign and exponent) first,
    // then the next 10 within an exponent.
    constexpr int kFine = 10, kFineShift = 52 - kFine;
    std::array<uint32_t, 2048> coarse{};
    for (size_t i = 0; i < count; ++i) {
        const uint64_t bits = std::bit_cast<uint64_t>(values[i]);
        // Negative, infinite or not a number.
        if ((bits >> 63) != 0 || (bits >> 52) == 0x7FF) return by_ordering(values, count, k, scratch);
        ++coarse[bits >> 52];
    }
    size_t below = 0;
    uint64_t exponent = 0;
    while (below + coarse[exponent] <= k) below += coarse[exponent++];
    std::array<uint32_t, 1u << kFine> fine{};
    for (size_t i = 0; i < count; ++i) {
        const uint64_t bits = std::bit_cast<uint64_t>(values[i]);
        if ((bits >> 52) == exponent) ++fine[(bits >> kFineShift) & ((1u << kFine) - 1)];
    }
    uint64_t part = 0;
    while (below + fine[part] <= k) below += fine[part++];
    const uint64_t wanted = (exponent << kFine) | part;
    scratch.clear();
    for (size_t i = 0; i < count; ++i)
        if ((std::bit_cast<uint64_t>(values[i]) >> kFineShift) == wanted) scratch.push_back(values[i]);
    std::nth_element(scratch.begin(), scratch.begin() + std::ptrdiff_t(k - below), scratch.end());
    return scratch[k - below];
}

}  // namespace dl
