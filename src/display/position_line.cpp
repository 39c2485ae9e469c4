#include "display/position_line.h"

#include "state/layout_units.h"
#include "state/run.h"
#include "state/source.h"
#include "state/tick_clock.h"




#include <cstdio>

namespace dl {

double PositionSeconds(double bytes) {
    if (SourceInfo.ExactSeconds > 0 && SourceInfo.DataTotal > 0)
        return bytes * SourceInfo.ExactSeconds / SourceInfo.DataTotal;
    const uint32_t bps = SourceInfo.source_bytes_per_second;
    return bps ? bytes / bps : 0.0;
}

std::string PositionLineText() {
    char buf[96];
    if (SourceState.running && SourceState.mode == SourceMode::RecordPort) {
        const uint32_t recorded = SourceInfo.DataRemaining;
        std::snprintf(buf, sizeof buf, "Pos:  %7ld kb %6.0f sec", long(recorded / 1024), PositionSeconds(recorded));
    } else if (SourceState.running && SourceState.mode == SourceMode::File && BufferCount != 1) {
        std::snprintf(buf, sizeof buf, "Pos:  %7ld kb %6.0f sec", long(PlaybackProgress / 1024),
                      PositionSeconds(PlaybackProgress));
    } else if (SourceState.running && SourceState.mode == SourceMode::File) {
        const uint32_t elapsed = TimerElapsedStamp - TimerStartStamp;
        const double kb = double(elapsed) * SourceInfo.source_bytes_per_second / 1024 / 1000;
        std::snprintf(buf, sizeof buf, "Pos:  %7lu kb %6.0f sec", (unsigned long)kb, elapsed / 1000.0);
    } else {
        return "Pos:        0 kb      0 sec";
    }
    return buf;
}

std::string MemoryPlayEndText() {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Pos:  %7ld kb %6.0f sec", long((ChunkSize + SourceInfo.block_align) / 1024),
                  PositionSeconds(ChunkSize));
    return buf;
}

void DrawPositionLine(Dc& dc) { dc.text_out(CellWidth * 9, CellHeight * 7, PositionLineText()); }

}  // namespace dl
