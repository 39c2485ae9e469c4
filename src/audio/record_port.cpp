#include "audio/record_port.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/meter_strip.h"
#include "analysis/pipeline.h"
#include "analysis/pitch.h"
#include "audio/devices.h"
#include "audio/playback.h"
#include "audio/run.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "display/frame.h"
#include "display/spectrogram.h"
#include "display/level_meter.h"
#include "display/position_line.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/screen_saver.h"
#include "platform/system.h"
#include "platform/ui_post.h"
#include "platform/wave_format.h"
#include "platform/wave_in.h"
#include "resources/string_table.h"
#include "state/analysis.h"
#include "state/engine.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/window_dc.h"

namespace dl {

namespace {

// Completions carry the monitor they belong to, so those of a device already closed are ignored
// even when the next monitor has begun.
uint32_t g_generation = 0;
constexpr uint32_t kGenerationMask = 0xFFFFF;
// What streaming may record: the largest signed 32-bit count, as a volume without limit.
constexpr uint32_t kStreamingCapacity = 2147483647u;

void report(const char* japanese, int string_id) {
    message_box({JapaneseUi ? japanese : LoadStringText(string_id), "", true, MbIcon::Exclamation});
}

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
void fill_record_format(std::vector<uint8_t>& r) {
    const uint16_t channels = uint16_t(Settings.channel), bits = uint16_t(Settings.bits);
    const uint16_t align = uint16_t(channels * (bits / 8));
    wr16(r, kFmtTag, kTagPcm);
    wr16(r, kFmtChannels, channels);
    wr32(r, kFmtRate, Settings.freq);
    wr32(r, kFmtBytesPerSec, align * Settings.freq);
    wr16(r, kFmtBlockAlign, align);
    wr16(r, kFmtBits, bits);
}

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

int open_device() {
    ++g_generation;
    if (OpenTestWaveIn) return OpenTestWaveIn(SourceFormat, completion_route(), WaveInDevice);
    return wave_in_open(SourceFormat, completion_route(), WaveInDevice, ChosenDevice(true, device_lost));
}

// The format check: the device is opened and closed again.
int query_device(const std::vector<uint8_t>& record) {
    if (OpenTestWaveIn) {
        std::unique_ptr<WaveIn> probe;
        return OpenTestWaveIn(record, [](int) {}, probe);
    }
    return wave_in_query(record, ChosenDevice(true, nullptr));
}

}  // namespace

const char* RecordPortQueryText(int result) {
    switch (result) {
        case kWaveBadDeviceId: return JapaneseUi ? "デバイスIDがおかしい" : "bad id";
        case kWaveAllocated: return JapaneseUi ? "すでに割り当てられている" : "allocated";
        case kWaveNoDriver: return JapaneseUi ? "ドライバが無い" : "no driver";
        case kWaveNoMemory: return JapaneseUi ? "メモリの割り当て等ができない" : "nomem";
        case kWaveBadFormat: return JapaneseUi ? "サウンドドライバは、この形式を録音できません。" : LoadStringText(33);
        case kWaveSync: return JapaneseUi ? "WAVE_ALLOWSYNCを指定してない" : "err_sync";
        default: return JapaneseUi ? "不明なエラー" : "? error ?";
    }
}

uint32_t RecordPacingWaitMs(uint32_t deltatime, int khz) {
    const uint32_t slice = khz % 11 == 0 ? deltatime * 1000 / 11025 : deltatime / 8;
    uint32_t b = std::min<uint32_t>(uint32_t(slice * 0.78 + 0.5), 400);
    if (b < 100) b /= 2;
    return b > 33 ? b : 0;
}

int CheckRecordFormat() {
    std::vector<uint8_t> record(16, 0);
    fill_record_format(record);
    return query_device(record);
}

int OpenRecordPort() {
    if (AllocateFormatRecord(16) == 0) return 0;
    fill_record_format(SourceFormat);
    PublishSourceFormat(SourceFormat);
    const int rc = query_device(SourceFormat);
    if (rc == kWaveOk) {
        set_capacity();
        SourceInfo.DataRemaining = 0;  // recorded bytes
        return 1;
    }
    message_box({RecordPortQueryText(rc), "", true, MbIcon::Exclamation});
    FreeFormatRecord();
    CloseSource();
    return 0;
}

void StartMonitoring() {
    ResetPitchHistory();
    ResetSpectrogram();
    ResetMeterStrip();
    DeviceLost = false;
    if (!SourceFormatHeld && !OpenRecordPort()) return;
    SourceState.mode = SourceMode::RecordPort;
    set_capacity();
    FastLevelStyle = Settings.fftparam == 8 && !Settings.UseMemDC && BufferCount == 4;
    ComputeBufferSizes(SourceFormat);
    LevelScanStride = InitialLevelScanStride(SourceInfo.sample_rate, rd16(SourceFormat, kFmtChannels), BufferCount);

    if (open_device() != kWaveOk) {
        report("音声入力デバイスを開けません。", 50);
        FreeFormatRecord();
        return;
    }
    FreeFormatRecord();
    const bool memory = BufferCount == 1;
    if (memory) DrawPreparingStatus("メモリ確保中", 82);

    for (int i = 0; i < (memory ? 2 : BufferCount); ++i) {
        try {
            SampleStorage[size_t(i)].assign(std::max<uint32_t>(i == 1 && memory ? BlockBytes : ChunkSize, 1), 0);
        } catch (const std::bad_alloc&) {
            report("メモリ不足です。", 32);
            CloseSource();
            return;
        }
        SampleBuffers[size_t(i)] = SampleStorage[size_t(i)].data();
    }

    StartControls(false);
    NextBuffer = 0;
    for (int i = 0; i < (memory ? 1 : 4); ++i) {
        WaveHeader& h = WaveHeaders[size_t(i)];
        h = WaveHeader{};
        h.data = SampleBuffers[size_t(i)];
        h.length = ChunkSize;
        h.user = uint32_t(i);
        if (WaveInDevice->prepare(h) != kWaveOk) {
            report("ウェーブヘッダーの準備ができません", 35);
            EndRun(true);
            return;
        }
        if (WaveInDevice->add_buffer(h, i) != kWaveOk) {
            WaveInDevice->unprepare(h);
            report("バッファの登録に失敗", 67);
            EndRun(true);
            return;
        }
    }

    RecordRecountPositionMs = TimerDevicePositionMs = 0;
    RecordStopState = 0;
    SourceState.running = true;
    {
        WindowDc wdc;
        if (memory) {
            BlackenLevelPanel(wdc.dc());
            DrawChannelLabels(wdc.dc());
        }
        DrawFrame(wdc.dc());
    }
    LastTickTime = PreviousTickStart = time_get_time();

    if (WaveInDevice->start() != kWaveOk) {
        report("録音失敗", 83);
        set_high_priority(false);
        // The buffers the reset returns end the monitor.
        RecordStopState = 1;
        WaveInDevice->reset();
        return;
    }
    if (memory) {
        LastAnalysedEnd = 0;
        StartMemoryTimer(1.0);
    }
    inhibit_screen_saver(true);
    PlaybackControls(true);
}

void StopMonitoring() {
    set_high_priority(false);
    PlaybackControls(false);
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

    WindowDc wdc;
    Dc& dc = wdc.dc();
    if (const uint32_t wait = RecordPacingWaitMs(Settings.deltatime, SourceInfo.khz); wait > 0) {
        while (time_get_time() - LastTickTime < wait) sleep_ms(1);
        LastTickTime = time_get_time();
    }
    const uint32_t tick_start = time_get_time();
    SetSchemeTextColours(dc);
    const Font* old = dc.select_font(nullptr);

    WaveHeader& h = WaveHeaders[size_t(header & 3)];
    const int row = int(h.user & 0xFFFF) & 3;
    NextBuffer = row == 0 ? 1 : 0;
    WaveInDevice->unprepare(h);
    uint32_t n = h.recorded;
    const uint32_t obps = SourceInfo.output_bytes_per_second;

    if (memory) {
        // A buffer given back without a count: what the device position says was recorded since.
        if (n == 0 && TimerDevicePositionMs > RecordRecountPositionMs) {
            const int64_t align = std::max(SourceInfo.block_align, 1);
            int64_t bytes = int64_t((TimerDevicePositionMs - RecordRecountPositionMs) * obps * 0.001);
            bytes -= bytes % align;
            n = uint32_t(std::clamp<int64_t>(bytes, 0, h.length));
            h.recorded = n;
            RecordRecountPositionMs = TimerDevicePositionMs;
        }
        TimerDevicePositionMs = 0;
    } else if (int64_t(n) >= int64_t(BlockBytes) - 4) {
        const double start = obps ? double(SourceInfo.DataRemaining) / obps : 0.0;
        const BlockAnalysis& a = AnalyseBlock(dc, row, n);
        if (AnalysisObserver) AnalysisObserver(start, a);
    }
    SourceInfo.DataRemaining += n;
    SetSchemeTextColours(dc);
    if (DrawAnalysedBlocks) DrawPositionLine(dc);

    if (memory || RecordStopState != 0) {
        // The one buffer is full, or Stop was pressed: the monitor ends here.
        dc.select_font(old);
        EndRun(true);
        return;
    }
    h = WaveHeader{};
    h.data = SampleBuffers[size_t(row)];
    h.length = ChunkSize;
    h.user = uint32_t(row);
    WaveInDevice->prepare(h);
    WaveInDevice->add_buffer(h, row);
    TuneLevelStride(tick_start);
    dc.select_font(old);
}

}  // namespace dl
