#include "audio/input_timeline.h"

#include <algorithm>
#include <vector>

#include "audio/source.h"
#include "resources/messages.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/source.h"

namespace dl {

namespace {

double seconds_of(uint64_t bytes) {
    const uint32_t obps = SourceInfo.output_bytes_per_second;
    return obps ? double(bytes) / obps : 0.0;
}

// The time the gaps at or before `offset` leave out, in bytes. Rows mostly come after every gap.
uint64_t lost_before(uint64_t offset) {
    if (InputGaps.empty() || offset >= InputGaps.back().at) return InputLostBytes;
    uint64_t lost = 0;
    for (const CaptureGap& g : InputGaps) {
        if (g.at > offset) break;
        lost += g.bytes;
    }
    return lost;
}

}  // namespace

void BeginInputTimeline() {
    RecordedInputBytes = InputBlockOffset = InputLostBytes = 0;
    InputGaps.clear();
}

void TakeInputGaps(uint64_t heard_up_to) {
    if (!WaveInDevice) return;
    std::vector<CaptureGap> found;
    WaveInDevice->take_gaps(found);
    if (found.empty()) return;
    for (const CaptureGap& g : found) {
        if (g.bytes == 0 || g.at > heard_up_to) continue;
        const double at = seconds_of(g.at + lost_before(g.at));
        InputGaps.insert(std::upper_bound(InputGaps.begin(), InputGaps.end(), g.at,
                                          [](uint64_t at, const CaptureGap& k) { return at < k.at; }),
                         g);
        InputLostBytes += g.bytes;
        if (InputGapReport) InputGapReport(g, InputGapText(g, at));
    }
    RedrawLengthLine();
}

double InputSeconds(uint64_t offset) { return seconds_of(offset + lost_before(offset)); }

std::string InputGapText(const CaptureGap& gap, double at_seconds) {
    const Message& m = gap.cause == GapCause::Overflow ? kMsgInputOverflow : kMsgInputNotDelivered;
    return format_text(MessageText(m), seconds_of(gap.bytes), at_seconds);
}

}  // namespace dl
