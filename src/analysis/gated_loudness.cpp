#include "analysis/gated_loudness.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>

namespace dl {

namespace {

constexpr size_t kClasses = 1000;  // of 0.1 LU, from -70 to +30 LUFS

// The energies of the classes' middles and of their lower bounds; the first bound is the absolute
// gate. Worked out as the bounded meters always have, so a class holds the same values.
struct ClassTable {
    double middle[kClasses];
    double bound[kClasses + 1];
    ClassTable() {
        for (size_t i = 0; i < kClasses; ++i) middle[i] = std::pow(10.0, (double(i) / 10.0 - 69.95 + 0.691) / 10.0);
        for (size_t i = 0; i <= kClasses; ++i) bound[i] = std::pow(10.0, (double(i) / 10.0 - 70.0 + 0.691) / 10.0);
    }
};

const ClassTable& classes() {
    static const ClassTable table;
    return table;
}

double absolute_gate() { return classes().bound[0]; }

size_t class_of(double energy) {
    const double* bound = classes().bound;
    size_t low = 0, high = kClasses;
    do {
        const size_t mid = (low + high) / 2;
        (energy >= bound[mid] ? low : high) = mid;
    } while (high - low != 1);
    return low;
}

// The first class whose values pass a relative gate.
size_t first_class_above(double gate) {
    if (gate < absolute_gate()) return 0;
    const size_t c = class_of(gate);
    return gate > classes().middle[c] ? c + 1 : c;
}

double to_lufs(double energy) { return 10 * (std::log(energy) / std::log(10.0)) - 0.691; }

const double kRelativeGate = std::pow(10.0, -10.0 / 10.0);  // -10 LU, for the integrated value
const double kRangeGate = std::pow(10.0, -20.0 / 10.0);     // -20 LU, for the range

}  // namespace

GatedLoudness::GatedLoudness(uint32_t rate, bool range, bool bounded)
    : frames_100ms_(std::max<size_t>(1, (size_t(rate) + 5) / 10)), range_(range), bounded_(bounded) {
    if (bounded_) {
        block_classes_.assign(kClasses, 0);
        if (range_) short_classes_.assign(kClasses, 0);
    }
}

void GatedLoudness::reset() {
    tenth_.fill(0.0);
    tenths_ = 0;
    open_sum_ = 0;
    in_open_ = 0;
    blocks_.clear();
    short_terms_.clear();
    std::fill(block_classes_.begin(), block_classes_.end(), 0);
    std::fill(short_classes_.begin(), short_classes_.end(), 0);
    integrated_known_ = range_known_ = false;
}

bool GatedLoudness::add(const double* energy, size_t count) {
    bool kept = true;
    for (size_t i = 0; i < count;) {
        const size_t n = std::min(count - i, frames_100ms_ - in_open_);
        double sum = open_sum_;
        for (size_t k = 0; k < n; ++k) sum += energy[i + k];
        open_sum_ = sum;
        in_open_ += n;
        i += n;
        if (in_open_ == frames_100ms_) {
            tenth_[size_t(tenths_ % tenth_.size())] = open_sum_;
            ++tenths_;
            open_sum_ = 0;
            in_open_ = 0;
            try {
                end_tenth();
            } catch (const std::bad_alloc&) {
                kept = false;
            }
        }
    }
    return kept;
}

// The mean energy of the last `n` tenths, the oldest added first.
void GatedLoudness::end_tenth() {
    auto mean_of_last = [&](uint64_t n) {
        double sum = 0;
        for (uint64_t t = tenths_ - n; t < tenths_; ++t) sum += tenth_[size_t(t % tenth_.size())];
        return sum / double(n * frames_100ms_);
    };
    // A block every tenth once there are four; a short-term value every second once there are three.
    if (tenths_ >= 4) {
        const double block = mean_of_last(4);
        if (block >= absolute_gate()) {
            if (bounded_) ++block_classes_[class_of(block)];
            else blocks_.push_back(block);
            integrated_known_ = false;
        }
    }
    if (range_ && tenths_ >= 30 && tenths_ % 10 == 0) {
        const double short_term = mean_of_last(30);
        if (short_term >= absolute_gate()) {
            if (bounded_) ++short_classes_[class_of(short_term)];
            else short_terms_.push_back(short_term);
            range_known_ = false;
        }
    }
}

double GatedLoudness::integrated() const {
    if (!integrated_known_) {
        integrated_ = measure_integrated();
        integrated_known_ = true;
    }
    return integrated_;
}

double GatedLoudness::range() const {
    if (!range_known_) {
        range_value_ = measure_range();
        range_known_ = true;
    }
    return range_value_;
}

double GatedLoudness::measure_integrated() const {
    const ClassTable& table = classes();
    double sum = 0;
    uint64_t count = 0;
    if (bounded_) {
        for (size_t i = 0; i < kClasses; ++i) {
            sum += double(block_classes_[i]) * table.middle[i];
            count += block_classes_[i];
        }
    } else {
        for (double b : blocks_) sum += b;
        count = blocks_.size();
    }
    if (count == 0) return -HUGE_VAL;
    const double gate = sum / double(count) * kRelativeGate;
    sum = 0;
    count = 0;
    if (bounded_) {
        for (size_t i = first_class_above(gate); i < kClasses; ++i) {
            sum += double(block_classes_[i]) * table.middle[i];
            count += block_classes_[i];
        }
    } else {
        for (double b : blocks_) {
            if (b >= gate) {
                sum += b;
                ++count;
            }
        }
    }
    return count == 0 ? -HUGE_VAL : to_lufs(sum / double(count));
}

double GatedLoudness::measure_range() const {
    if (!range_) return 0;
    const ClassTable& table = classes();
    if (bounded_) {
        uint64_t count = 0;
        double power = 0;
        for (size_t i = 0; i < kClasses; ++i) {
            count += short_classes_[i];
            power += double(short_classes_[i]) * table.middle[i];
        }
        if (count == 0) return 0;
        const size_t first = first_class_above(power / double(count) * kRangeGate);
        count = 0;
        for (size_t i = first; i < kClasses; ++i) count += short_classes_[i];
        if (count == 0) return 0;
        const uint64_t low = uint64_t(double(count - 1) * 0.1 + 0.5), high = uint64_t(double(count - 1) * 0.95 + 0.5);
        // The classes holding the low and the high percentile.
        uint64_t seen = 0;
        size_t i = first;
        while (seen <= low) seen += short_classes_[i++];
        const double low_energy = table.middle[i - 1];
        while (seen <= high) seen += short_classes_[i++];
        return to_lufs(table.middle[i - 1]) - to_lufs(low_energy);
    }
    if (short_terms_.empty()) return 0;
    std::vector<double> sorted = short_terms_;
    std::sort(sorted.begin(), sorted.end());
    double power = 0;
    for (double v : sorted) power += v;
    const double gate = power / double(sorted.size()) * kRangeGate;
    const auto first = std::lower_bound(sorted.begin(), sorted.end(), gate);
    const size_t n = size_t(sorted.end() - first);
    if (n == 0) return 0;
    const double high = first[ptrdiff_t(double(n - 1) * 0.95 + 0.5)], low = first[ptrdiff_t(double(n - 1) * 0.1 + 0.5)];
    return to_lufs(high) - to_lufs(low);
}

}  // namespace dl
