#include "display/source_panel.h"

#include "platform/format_text.h"
#include "platform/wave_format.h"
#include "resources/messages.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/source.h"

namespace dl {

std::string KhzLineText() { return format_text("%2d kHz  ", SourceInfo.khz); }

std::string BitLineText() {
    const SourceInfoRecord& s = SourceInfo;
    if (s.bits != 0 || s.khz == 0) return format_text("%2d bit  ", s.bits);
    // A compressed source without a bit depth shows its bit rate.
    const long bps = long(s.source_bytes_per_second);
    const long kbps = bps * 8 / 1000;
    if (s.format_tag == kTagMsnAudio) return format_text("%5ld%s ", bps * 8, "b");
    if (kbps > 999) return format_text("%3ld%s ", bps / 1024, "KB/s");
    if (kbps > 99) return format_text("%3ld%s ", kbps, "kbps");
    return format_text("%2ld %s ", kbps, "kbps");
}

double SourceSeconds() {
    if (SourceInfo.ExactSeconds > 0) return SourceInfo.ExactSeconds;
    const uint32_t bps = SourceInfo.source_bytes_per_second;
    return bps ? double(SourceInfo.DataTotal) / bps : 0.0;
}

std::string LengthLineText() {
    const uint32_t bps = SourceInfo.source_bytes_per_second;
    // A monitor whose input left time out says how much, and in how many gaps.
    if (SourceState.mode == SourceMode::RecordPort && !InputGaps.empty() && bps)
        return format_text(MessageText(kMsgInputLostLine), double(InputLostBytes) / bps, int(InputGaps.size()));
    if (SourceState.mode == SourceMode::RecordPort)
        return bps ? format_text("Free: %7ld kb %6.0f sec", long(DiskSpace.free / 1024), double(DiskSpace.free) / bps)
                   : "Total:      0 kb      0 sec";
    // Memory mode plays what its buffer holds: when that is not the whole file, the line says how
    // much of it is.
    if (MemoryBufferCut) return format_text("Mem:  %7.0f of %6.0f sec", MemoryBufferSeconds, SourceSeconds());
    if (bps == 0 && !(SourceInfo.ExactSeconds > 0)) return "Total:      0 kb      0 sec";
    return format_text("Total:%7ld kb %6.0f sec", long(SourceInfo.DataTotal / 1024), SourceSeconds());
}

void DrawFormatLines(Dc& dc) {
    dc.text_out(CellWidth, CellHeight * 7, KhzLineText());
    dc.text_out(CellWidth, CellHeight * 10, BitLineText());
}

void DrawLengthLine(Dc& dc) { dc.text_out(CellWidth * 9, CellHeight * 10, LengthLineText()); }

}  // namespace dl
