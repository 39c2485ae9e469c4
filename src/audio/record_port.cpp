#include "audio/record_port.h"

#include <algorithm>

#include "audio/devices.h"
#include "audio/input_timeline.h"
#include "audio/pcm_floats.h"
#include "audio/run.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "display/frame.h"
#include "display/level_meter.h"
#include "display/position_line.h"
#include "platform/main_window.h"
#include "platform/process.h"
#include "platform/screen_saver.h"
#include "platform/system.h"
#include "platform/ui_post.h"
#include "platform/wave_format.h"
#include "platform/wave_in.h"
#include "resources/device_errors.h"
#include "resources/messages.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/window_dc.h"

namespace dl {

namespace {

// Completions carry the monitor they belong to, so those of a device already closed are ignored
// even when the next monitor has begun.
uint32_t g_generation = 0;
constexpr uint32_t kGenerationMask = 0xFFFFF;
// What streaming may record: the largest signed 32-bit count, as a volume without limit.
constexpr uint32_t kStreamingCapacity = 2147483647u;

WaveIn::Data completion_route() {
    const int base = int((g_generation & kGenerationMask) << 2);
    if (TheMainWindow) {
        MainWindow* w = TheMainWindow;
        return [w, base](int i) { w->post_wave_in_data(base + i); };
    }
    return [base](int i) { post_to_ui([h = base + i] { RecordTick(h); }); };
}

// A device that goes away ends the monitor, and says so.
void device_lost() {
    if (!SourceState.running || SourceState.mode != SourceMode::RecordPort) return;
    EndRun(true);
    DeviceLost = true;
    ReportDeviceLost(true);
}

// The plain PCM record of the settings.
void fill_record_format(std::vector<uint8_t>& r, const RecordFormatChoice& f) {
    const uint16_t channels = uint16_t(f.channel), bits = uint16_t(f.bits);
    const uint16_t align = uint16_t(channels * (bits / 8));
    wr16(r, kFmtTag, kTagPcm);
    wr16(r, kFmtChannels, channels);
    wr32(r, kFmtRate, f.freq);
    wr32(r, kFmtBytesPerSec, align * f.freq);
    wr16(r, kFmtBlockAlign, align);
    wr16(r, kFmtBits, bits);
}

RecordFormatChoice settings_record_format() { return {Settings.bits, Settings.channel, Settings.freq}; }

// One buffer of MemSize MiB, or four streaming without end: shown as the free space.
void set_capacity() {
    BufferCount = Settings.OnMem ? 1 : 4;
    const uint32_t capacity =
        BufferCount == 1 ? uint32_t(std::min<uint64_t>(uint64_t(Settings.MemSize) << 20, kStreamingCapacity))
                         : kStreamingCapacity;
    DiskSpace.free = capacity;
    SourceInfo.DataTotal = capacity;
    RedrawLengthLine();
}

// Device: the input device for the record, which is then given up. False after the refusal was
// reported.
bool open_record_device() {
    ++g_generation;
    const int rc = OpenTestWaveIn ? OpenTestWaveIn(SourceFormat, completion_route(), WaveInDevice)
                                  : wave_in_open(SourceFormat, completion_route(), WaveInDevice,
                                                 ChosenDevice(true, device_lost));
    FreeFormatRecord();
    if (rc == kWaveOk) return true;
    ReportMessage(kMsgCannotOpenInput);
    return false;
}

// The format check: the device is opened and closed again.
int query_device(const std::vector<uint8_t>& record) {
    if (OpenTestWaveIn) {
        std::unique_ptr<WaveIn> probe;
        return OpenTestWaveIn(record, [](int) {}, probe);
    }
    return wave_in_query(record, ChosenDevice(true, nullptr));
}

// Buffer `slot` (of `length` bytes) handed to the device to fill. False after a failure was
// reported.
bool queue_capture(int slot, uint32_t length) {
    WaveHeader& h = FreshWaveHeader(slot, length);
    if (WaveInDevice->prepare(h) != kWaveOk) {
        ReportMessage(kMsgHeaderFailed);
        return false;
    }
    if (WaveInDevice->add_buffer(h, slot) != kWaveOk) {
        WaveInDevice->unprepare(h);
        ReportMessage(kMsgAddBufferFailed);
        return false;
    }
    return true;
}

// The monitor's first ticks are timed from now; the frame (in memory mode with the panel) is drawn.
void begin_monitor_ticks() {
    BeginInputTimeline();
    RecordRecountPositionMs = TimerDevicePositionMs = 0;
    RecordStopState = 0;
    SourceState.running = true;
    {
        WindowDc wdc;
        if (BufferCount == 1) {
            BlackenLevelPanel(wdc.dc());
            DrawChannelLabels(wdc.dc());
        }
        DrawFrame(wdc.dc());
    }
    LastTickTime = PreviousTickStart = time_get_time();
}

// Memory mode: a buffer given back without a count holds what the device position says was
// recorded since the last recount.
uint32_t recount_recorded(WaveHeader& h) {
    uint32_t n = h.recorded;
    if (n == 0 && TimerDevicePositionMs > RecordRecountPositionMs) {
        const int64_t align = std::max(SourceInfo.block_align, 1);
        int64_t bytes =
            int64_t((TimerDevicePositionMs - RecordRecountPositionMs) * SourceInfo.output_bytes_per_second * 0.001);
        bytes -= bytes % align;
        n = uint32_t(std::clamp<int64_t>(bytes, 0, h.length));
        h.recorded = n;
        RecordRecountPositionMs = TimerDevicePositionMs;
    }
    TimerDevicePositionMs = 0;
    return n;
}

}  // namespace

const char* RecordPortQueryText(int result) { return MessageText(DeviceErrorMessage(result, DeviceRefusal::RecordQuery)); }

uint32_t RecordPacingWaitMs(uint32_t deltatime, int khz) {
    const uint32_t slice = khz % 11 == 0 ? deltatime * 1000 / 11025 : deltatime / 8;
    uint32_t b = std::min<uint32_t>(uint32_t(slice * 0.78 + 0.5), 400);
    if (b < 100) b /= 2;
    return b > 33 ? b : 0;
}

int CheckRecordFormat(RecordFormatChoice& format) {
    FitRecordFormatToMonitor(Settings.InputDevice, format);
    std::vector<uint8_t> record(16, 0);
    fill_record_format(record, format);
    return query_device(record);
}

Result OpenRecordPort() {
    if (AllocateFormatRecord(16) != Result::Done) return Result::Failed;
    FitRecordSettingsToMonitor();
    fill_record_format(SourceFormat, settings_record_format());
    PublishSourceFormat(SourceFormat);
    const int rc = query_device(SourceFormat);
    if (rc == kWaveOk) {
        set_capacity();
        SourceInfo.DataRemaining = 0;  // recorded bytes
        return Result::Done;
    }
    ReportMessage(RecordPortQueryText(rc));
    FreeFormatRecord();
    CloseSource();
    return Result::Failed;
}

Result StartMonitoring() {
    BeginRun();
    if (!SourceFormatHeld && OpenRecordPort() != Result::Done) return Result::Failed;
    SourceState.mode = SourceMode::RecordPort;
    set_capacity();
    SizeRun();
    if (!open_record_device()) return FailedStart(false);
    const bool memory = BufferCount == 1;
    if (memory) ReportRunEvent(RunEvent::AllocatingMemory);
    if (!AllocateWaveBuffers(ChunkSize, 0)) return FailedStart(false);

    ReportRunEvent(RunEvent::Taken);
    NextBuffer = 0;
    for (int i = 0; i < (memory ? 1 : 4); ++i)
        if (!queue_capture(i, ChunkSize)) return FailedStart(true);

    begin_monitor_ticks();
    if (WaveInDevice->start() != kWaveOk) {
        ReportMessage(kMsgRecordFailed);
        set_high_priority(false);
        // The buffers the reset returns end the monitor (RecordTick, EndRun).
        RecordStopState = 1;
        WaveInDevice->reset();
        return Result::Failed;
    }
    if (memory) {
        LastAnalysedEnd = 0;
        StartMemoryTimer(1.0);
    }
    inhibit_screen_saver(true);
    ReportRunEvent(RunEvent::Running);
    return Result::Done;
}

void StopMonitoring() {
    set_high_priority(false);
    ReportRunEvent(RunEvent::Stopping);
    RecordStopState = 1;
    if (WaveInDevice) WaveInDevice->reset();
}

void RecordTick(int header) {
    if ((uint32_t(header) >> 2) != (g_generation & kGenerationMask)) return;
    if (!WaveInDevice || SourceState.mode != SourceMode::RecordPort || !SourceState.running) return;
    if (RecordStopState > 1) return;
    if (RecordStopState == 1) RecordStopState = 2;  // this buffer ends the monitor
    const bool memory = BufferCount == 1;
    if (memory) KillMemoryTimer();

    WaveHeader& h = WaveHeaders[size_t(header & 3)];
    // Once stopping, what lies beyond this last buffer's sound is never reached.
    TakeInputGaps(RecordStopState != 0 && !memory ? RecordedInputBytes + h.recorded : UINT64_MAX);
    WindowDc wdc;
    Dc& dc = wdc.dc();
    // Sound waiting beyond the buffers is a backlog to catch up on, not a tick to pace.
    const bool behind = !memory && WaveInDevice->held_bytes() >= ChunkSize;
    if (const uint32_t wait = RecordPacingWaitMs(Settings.deltatime, SourceInfo.khz); wait > 0 && !behind) PaceTick(wait);
    const uint32_t tick_start = time_get_time();
    SetSchemeTextColours(dc);
    const Font* old = dc.select_font(nullptr);

    const int row = int(h.user & 0xFFFF) & 3;
    NextBuffer = row == 0 ? 1 : 0;
    WaveInDevice->unprepare(h);
    const uint32_t n = memory ? recount_recorded(h) : h.recorded;
    if (!memory && int64_t(n) >= int64_t(BlockBytes) - 4) {
        // The row's time is when its sound was heard: the gaps before it count.
        InputBlockOffset = RecordedInputBytes;
        BlockView view;
        view.data = SampleBuffers[size_t(row)];
        view.bytes = n;
        view.seconds = InputSeconds(RecordedInputBytes);
        AnalyseTickBlock(dc, view);
    }
    if (!memory && InputSoundObserver) {
        const double seconds = InputSeconds(RecordedInputBytes);
        PassPcmAsFloats(SampleBuffers[size_t(row)], n, (SourceInfo.ChannelLayout & 1) != 0,
                        [seconds](const float* samples, size_t count) { InputSoundObserver(seconds, samples, count); });
    }
    SourceInfo.DataRemaining += n;
    RecordedInputBytes += n;
    SetSchemeTextColours(dc);
    if (PresentAnalysedBlock) DrawPositionLine(dc);

    // The one buffer is full, or Stop was pressed: the monitor ends here; a buffer the device does
    // not take back ends it too, said, rather than leave it one buffer short.
    if (memory || RecordStopState != 0 || !queue_capture(row, ChunkSize)) {
        dc.select_font(old);
        EndRun(true);
        return;
    }
    TuneLevelStride(tick_start);
    dc.select_font(old);
}

}  // namespace dl
