#include "analysis/peak_screen.h"

#include <algorithm>
#include <cmath>

#include "analysis/precise_peak.h"
#include "analysis/precise_tables.h"
#include "analysis/window_kernel.h"

namespace dl {

namespace {

// A tone stands this far (in power) above the median of the lines about it (noise's own maxima
// reach that once in billions), and a maximum this far above the side lobe a stronger tone (or what
// stands below the resolved lines) throws there.
constexpr double kProminence = 31.6;  // 15 dB
constexpr double kAboveSideLobe = 4;  // 6 dB

}  // namespace

void PeakScreen::start(PreciseTables& tables, const double* re, const double* im, int n, int samples, int type) {
    tables_ = &tables;
    re_ = re, im_ = im, half_ = n / 2, type_ = type, samples_ = samples, n_ = n;
    lobe_lines_ = MainLobeLines(tables, n, samples, type);
    lowest_ = LowestResolvedLine(tables, n, samples, type);
    per_bin_ = LinesPerBin(tables, n, samples, type);
    stronger_.clear();
    floors_.clear();
}

bool PeakScreen::admits(int b) {
    auto power = [this](int k) { return re_[k] * re_[k] + im_[k] * im_[k]; };
    const double p = power(b);
    if (!(p > 0)) return false;
    // Below what the block resolves there is no tone, but what stands there throws side lobes.
    if (b <= 0 || b < lowest_) {
        stronger_.emplace_back(b, p);
        return false;
    }
    if (std::min(samples_, n_) >= 2) {
        const WindowKernel& kernel = tables_->kernel(type_, std::min(samples_, n_));
        for (const auto& [line, strong] : stronger_)
            if (p <= kAboveSideLobe * strong * kernel.sidelobe_bound(std::abs(b - line) / per_bin_)) return false;
    }
    // The surroundings: the median lines of the peak's stretch of lines and of the stretches either
    // side, the highest of the three (where the spectrum falls, the side where it is higher). The
    // stretches are a few main lobes long, the peak's own lobe too narrow a part to move a median;
    // each median is taken once a tick, when first asked for.
    if (floors_.empty()) {
        stretch_ = std::max(64, 8 * int(std::ceil(lobe_lines_)));
        floors_.assign(size_t((half_ + stretch_ - 1) / stretch_), -1.0);
    }
    auto median = [&](size_t c) {
        if (floors_[c] < 0) {
            around_.clear();
            const int start = int(c) * stretch_;
            for (int k = std::max(1, start); k < std::min(half_, start + stretch_); ++k) around_.push_back(power(k));
            floors_[c] = 0;
            if (around_.size() >= 8) {
                const auto mid = around_.begin() + long(around_.size() / 2);
                std::nth_element(around_.begin(), mid, around_.end());
                floors_[c] = *mid;
            }
        }
        return floors_[c];
    };
    const size_t c = size_t(b / stretch_);
    double floor = median(c);
    if (c > 0) floor = std::max(floor, median(c - 1));
    if (c + 1 < floors_.size()) floor = std::max(floor, median(c + 1));
    if (p < kProminence * floor) return false;
    stronger_.emplace_back(b, p);
    return true;
}

}  // namespace dl
