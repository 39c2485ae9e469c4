#include "analysis/peak_screen.h"

#include <algorithm>
#include <cmath>

#include "analysis/precise_peak.h"
#include "analysis/window_kernel.h"

namespace dl {

namespace {

// A tone stands this far (in power) above the median of the lines about it (noise's own maxima
// reach that once in billions), and a maximum this far above the side lobe a stronger one throws
// there.
constexpr double kProminence = 31.6;  // 15 dB
constexpr double kAboveSideLobe = 4;  // 6 dB

}  // namespace

PeakScreen::PeakScreen(const double* re, const double* im, int n, int samples, int type)
    : re_(re), im_(im), half_(n / 2), type_(type), samples_(samples), n_(n) {
    lobe_lines_ = MainLobeLines(n, samples, type);
    lowest_ = LowestResolvedLine(n, samples, type);
    per_bin_ = LinesPerBin(n, samples, type);
    stronger_.clear();
}

bool PeakScreen::admits(int b) {
    auto power = [this](int k) { return re_[k] * re_[k] + im_[k] * im_[k]; };
    const double p = power(b);
    bool tone = b > 0 && b >= lowest_ && p > 0;
    if (tone && std::min(samples_, n_) >= 2) {
        const WindowKernel& kernel = WindowKernel::of(type_, std::min(samples_, n_));
        for (const auto& [line, strong] : stronger_) {
            if (p <= kAboveSideLobe * strong * kernel.sidelobe_bound(std::abs(b - line) / per_bin_)) {
                tone = false;
                break;
            }
        }
    }
    if (tone) {
        // The surroundings: lines beside the main lobe, up to eight lobes away and at least 64 lines,
        // enough for a steady median.
        const int inner = int(std::ceil(lobe_lines_)), outer = std::max(64, 8 * inner);
        around_.clear();
        for (int k = std::max(1, b - outer); k <= std::min(half_ - 1, b + outer); ++k)
            if (std::abs(k - b) > inner) around_.push_back(power(k));
        if (around_.size() >= 8) {
            const auto mid = around_.begin() + long(around_.size() / 2);
            std::nth_element(around_.begin(), mid, around_.end());
            tone = p >= kProminence * *mid;
        }
    }
    stronger_.emplace_back(b, p);
    return tone;
}

}  // namespace dl
