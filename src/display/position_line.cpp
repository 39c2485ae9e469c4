#include "display/position_line.h"

#include <cstdio>

#include "state/layout_units.h"
#include "state/run.h"
#include "state/source.h"
#include "state/tick_clock.h"

namespace dl {

double PositionSeconds(double bytes) {
    if (SourceInfo.ExactSeconds > 0 && SourceInfo.DataTotal > 0)
        return bytes * SourceInfo.ExactSeconds / SourceInfo.DataTotal;
    const uint32_t bps = SourceInfo.source_bytes_per_second;
    return bps ? bytes / bps : 0.0;
}

std::string PositionText(unsigned long kb, double seconds) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Pos:  %7lu kb %6.0f sec", kb, seconds);
    return buf;
}

std::string PositionLineText() {
    if (SourceState.running && SourceState.mode == SourceMode::RecordPort) {
        const uint32_t recorded = SourceInfo.DataRemaining;
        return PositionText(recorded / 1024, PositionSeconds(recorded));
    }
    if (SourceState.running && SourceState.mode == SourceMode::File && BufferCount != 1)
        return PositionText(PlaybackProgress / 1024, PositionSeconds(PlaybackProgress));
    if (SourceState.running && SourceState.mode == SourceMode::File) {
        const uint32_t elapsed = TimerElapsedStamp - TimerStartStamp;
        const double kb = double(elapsed) * SourceInfo.source_bytes_per_second / 1024 / 1000;
        return PositionText((unsigned long)kb, elapsed / 1000.0);
    }
    return PositionText(0, 0);
}

std::string MemoryPlayEndText() {
    return PositionText((ChunkSize + SourceInfo.block_align) / 1024, PositionSeconds(ChunkSize));
}

void DrawPositionText(Dc& dc, const std::string& text) { dc.text_out(CellWidth * 9, CellHeight * 7, text); }

void DrawPositionLine(Dc& dc) { DrawPositionText(dc, PositionLineText()); }

}  // namespace dl
