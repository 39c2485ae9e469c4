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
    stretches_ = 0;
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
    // stretches are a few main lobes long, the peak's own lobe too narrow a part to move a median.
    if (stretches_ == 0) {
        stretch_ = std::max(64, 8 * int(std::ceil(lobe_lines_)));
        stretches_ = (half_ + stretch_ - 1) / stretch_;
    }
    // Whether the median of stretch c reaches p's prominence: it does when at least the upper half
    // of the stretch does, which counting tells at a fraction of the cost of finding the median.
    auto hides = [&](int c) {
        const int first = std::max(1, c * stretch_), end = std::min(half_, (c + 1) * stretch_);
        const int lines = end - first;
        if (lines < 8) return false;
        int above = 0;
        for (int k = first; k < end; ++k) above += p < kProminence * power(k) ? 1 : 0;
        return above >= lines - lines / 2;
    };
    const int c = b / stretch_;
    if (hides(c) || (c > 0 && hides(c - 1)) || (c + 1 < stretches_ && hides(c + 1))) return false;
    stronger_.emplace_back(b, p);
    return true;
}

}  // namespace dl
