#include "display/level_scale.h"

#include <algorithm>
#include <cmath>

#include "analysis/pipeline_levels.h"
#include "display/analysis_settings.h"
#include "display/graph_area.h"
#include "resources/command_ids.h"
#include "state/settings.h"

namespace dl {

namespace {

// The plain scale is 0.04 ln(p) of full scale a level unit over 255 units; the expanded one
// spreads -21.7..-76 dB over 255 units.
constexpr double kDecibelsPerLevel = 10.0 / (10.2 * 2.302585092994046);
constexpr double kExpandedSpan = 108.57;

enum class Scale { Plain, Expanded, Linear, Ranged };

Scale scale() {
    if (DecibelRangeOnNow()) return Scale::Ranged;
    if (Settings.display == kViewSpectrogram) return Scale::Plain;
    if (!Settings.Decibel) return Scale::Linear;
    return Settings.Expand ? Scale::Expanded : Scale::Plain;
}

double linear_gain() { return (Settings.Expand ? 4.0 : 1.0) * (Settings.katamuki ? 4.0 : 1.0); }

uint8_t to_depth(double d) {
    if (!(d >= 0)) return d < 0 ? 0 : 255;  // not a number: the floor
    return uint8_t(std::min(std::lround(d), 255L));
}

}  // namespace

double DepthDecibels(int depth) {
    switch (scale()) {
        case Scale::Plain: return -depth * kDecibelsPerLevel;
        case Scale::Expanded: return kExpandedSpan * (-(depth - 0.49) / 510 - 0.2);
        case Scale::Ranged: return Settings.db_top - depth * double(Settings.db_span) / 255;
        case Scale::Linear: break;
    }
    // The linear scale's lowest row is half a unit above nothing, so every depth has a level.
    return 20 * std::log10(std::max((255.5 - depth) / 255, 0.5 / 255) / linear_gain());
}

std::vector<int> RangeGridDecibels() {
    std::vector<int> out;
    const int top = Settings.db_top, span = std::max(Settings.db_span, kMinDbSpan);
    // The finest of 5, 10, 20 dB that gives at most eight lines.
    const int step = span <= 40 ? 5 : span <= 80 ? 10 : 20;
    const int first = top >= 0 ? top / step * step : -((-top + step - 1) / step) * step;
    for (int db = first == top ? top - step : first; db > top - span; db -= step) out.push_back(db);
    return out;
}

int RangeDecibelRow(double decibels) {
    const double span = std::max(Settings.db_span, kMinDbSpan);
    // Truncated as the levels are, and on the rows the levels are drawn at, so a tone at a grid
    // line's level tops out on that line.
    const double level = std::floor((Settings.db_top - decibels) * 255 / span + 1e-9);
    return GraphTop() + LevelRow(int(std::clamp(level, 0.0, 255.0)));
}

uint8_t DecibelsDepth(double decibels) {
    if (std::isinf(decibels) && decibels < 0) return 255;
    switch (scale()) {
        case Scale::Plain: return to_depth(-decibels / kDecibelsPerLevel);
        case Scale::Expanded: {
            const double d = -(decibels / kExpandedSpan + 0.2) * 510 + 0.49;
            return to_depth(std::clamp(d, 0.0, 255.0));
        }
        case Scale::Ranged:
            return to_depth(std::clamp((Settings.db_top - decibels) * 255 / Settings.db_span, 0.0, 255.0));
        case Scale::Linear: break;
    }
    // Truncated as the live levels are; a hair more keeps a level's own depth through the round trip.
    const double a = std::min(std::pow(10.0, decibels / 20) * linear_gain(), 1.0);
    return to_depth(std::floor(255.5 - 255 * a + 1e-6));
}

}  // namespace dl
