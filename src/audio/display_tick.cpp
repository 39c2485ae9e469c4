#include "audio/display_tick.h"

#include <algorithm>
#include <new>
#include <vector>

#include "audio/played_sound.h"
#include "audio/timer_tick.h"
#include "display/position_line.h"
#include "platform/main_window.h"
#include "platform/system.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/window_dc.h"

namespace dl {

namespace {

constexpr int kDisplayTimerId = 2;

// The output bytes the device has played, counted from the play's start. The device's own count
// wraps at 4 GiB; the play's queued bytes say which lap it is on.
bool device_played(uint64_t& bytes) {
    if (!WaveOutDevice) return false;
    if (WaveOutDevice->heard_position(bytes)) return true;
    DevicePosition pos;
    if (WaveOutDevice->get_position(pos) != kWaveOk || pos.type != PositionType::Bytes) return false;
    const uint64_t lap = PlayedBytesQueued & ~uint64_t(0xFFFFFFFF);
    bytes = lap | pos.value;
    if (bytes > PlayedBytesQueued && lap) bytes -= uint64_t(1) << 32;
    return true;
}

}  // namespace

uint32_t DisplayTimerPeriod(int rate) { return rate > 0 ? uint32_t(std::max(1000 / rate, 1)) : 0; }

void StartDisplayTimer() {
    StopDisplayTimer();
    const bool streaming = SourceState.mode == SourceMode::File && BufferCount != 1;
    if (!TheMainWindow || !streaming || UseInstantDevice) return;
    // Slices shorter than its period already draw more often, and meter every byte.
    const uint32_t period = DisplayTimerPeriod(Settings.update_rate);
    if (period == 0 || period >= ExpectedTickMs()) return;
    DisplayPeriod = period;
    DisplayBlockStart = 0;  // the play's first block is drawn as it starts
    PictureShareOfSlice = double(period) / ExpectedTickMs();
    TheMainWindow->set_timer(kDisplayTimerId, int(DisplayPeriod));
}

void StopDisplayTimer() {
    if (DisplayPeriod && TheMainWindow) TheMainWindow->kill_timer(kDisplayTimerId);
    DisplayPeriod = 0;
    PictureShareOfSlice = 1.0;
}

bool DisplayTimerOn() { return DisplayPeriod != 0; }

void DisplayTick(uint32_t now) {
    (void)now;
    if (!DisplayTimerOn() || !SourceState.running || SourceState.mode != SourceMode::File || StopRequested) return;
    uint64_t played = 0;
    if (!device_played(played)) return;
    const uint32_t bps = SourceInfo.output_bytes_per_second;
    const uint32_t align = uint32_t(std::max(SourceInfo.block_align, 1));
    uint64_t start = HeardBlockStart(played, true, played, uint32_t(Settings.LatencyOffset), bps, align);
    start -= start % align;
    if (start == DisplayBlockStart || BlockBytes == 0) return;
    // The tuning log's rows stay a time slice of sound apart, so it spans what it always did.
    if (Settings.display == kViewTuning && start < DisplayBlockStart + BlockBytes) return;
    static std::vector<uint8_t> block;
    try {
        block.resize(BlockBytes);
    } catch (const std::bad_alloc&) {
        return;
    }
    // Near the end less than a block is left: the picture stays with the last whole one.
    if (!CopyPlayedSound(start, block.data(), BlockBytes)) return;
    DisplayBlockStart = start;

    WindowDc wdc;
    Dc& dc = wdc.dc();
    const Font* old = dc.select_font(nullptr);
    SetSchemeTextColours(dc);
    BlockView view;
    view.data = block.data();
    view.bytes = BlockBytes;
    view.seconds = bps ? double(start) / bps : 0.0;
    view.offset = start;
    view.purpose = AnalysisPurpose::PictureOnly;
    AnalyseTickBlock(dc, view);
    if (PresentAnalysedBlock) DrawPositionLine(dc);
    dc.select_font(old);
}

}  // namespace dl
