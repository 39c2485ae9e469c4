#include "display/reference_traces.h"

#include <algorithm>

#include "display/extra_trace.h"
#include "display/level_scale.h"
#include "resources/command_ids.h"
#include "state/references.h"
#include "state/settings.h"
#include "state/source.h"
#include "state/view.h"

namespace dl {

namespace {

// Each reference's levels at the current lines and scale, made again when either changes.
struct DepthCache {
    uint32_t generation = 0;
    int bins = 0;
    double rate = 0;
    int display = 0, decibel = 0, expand = 0, tilt = 0, top = 0, span = 0;
    std::vector<std::vector<uint8_t>> depths;

    bool matches(int b, double r) const {
        return generation == References.generation && bins == b && rate == r && display == Settings.display &&
               decibel == Settings.Decibel && expand == Settings.Expand && tilt == Settings.katamuki &&
               top == Settings.db_top && span == Settings.db_span && depths.size() == References.held.size();
    }
};

}  // namespace

bool ReferenceTracesShown() {
    return !References.held.empty() && (Settings.display == kViewLinear || Settings.display == kViewLog);
}

void ReferenceDepths(const ReferenceSpectrum& r, int bins, double rate, std::vector<uint8_t>& out) {
    out.assign(size_t(std::max(bins, 0)), 255);
    const std::vector<double>& f = r.frequencies;
    const size_t count = std::min(f.size(), r.decibels.size());
    if (count == 0 || bins <= 0 || !(rate > 0)) return;
    const double line_hz = rate / (2.0 * bins);
    size_t j = 0;  // f[j] is the first frequency at or above the line's
    for (int i = 0; i < bins; ++i) {
        const double at = i * line_hz;
        while (j < count && f[j] < at) ++j;
        if (j == count) break;
        double db;
        if (f[j] == at) db = r.decibels[j];
        else if (j == 0) continue;  // below its lowest frequency
        else {
            const double t = (at - f[j - 1]) / (f[j] - f[j - 1]);
            db = r.decibels[j - 1] + t * (r.decibels[j] - r.decibels[j - 1]);
        }
        out[size_t(i)] = DecibelsDepth(db);
    }
}

void DrawReferenceTraces(Dc& target, int bins) {
    if (!ReferenceTracesShown() || bins <= 0) return;
    static DepthCache cache;
    const double rate = SourceInfo.sample_rate;
    if (!cache.matches(bins, rate)) {
        cache = DepthCache{References.generation, bins, rate, Settings.display, Settings.Decibel, Settings.Expand,
                           Settings.katamuki, Settings.db_top, Settings.db_span, {}};
        cache.depths.resize(References.held.size());
        for (size_t i = 0; i < References.held.size(); ++i)
            ReferenceDepths(References.held[i], bins, rate, cache.depths[i]);
    }
    for (size_t i = 0; i < cache.depths.size(); ++i)
        DrawExtraTrace(target, cache.depths[i].data(), bins, ReferenceColour(i));
}

Rgb ReferenceColour(size_t i) {
    // Apart from the live trace, the grid and the hold and channel traces.
    static constexpr uint32_t light[kMostReferences] = {0xFF8000, 0xC000C0, 0x008080, 0x996633};
    static constexpr uint32_t dark[kMostReferences] = {0xFFA040, 0xFF70FF, 0x40C0C0, 0xC09060};
    const size_t k = i % kMostReferences;
    return rgb(DarkScheme ? dark[k] : light[k]);
}

}  // namespace dl
