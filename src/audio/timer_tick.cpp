#include "audio/timer_tick.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/fft.h"
#include "audio/input_timeline.h"
#include "display/analysis_settings.h"
#include "display/position_line.h"
#include "display/voice_pointer.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/wave_format.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/window_dc.h"

namespace dl {

namespace {

bool eleven_family() { return SourceInfo.khz % 11 == 0; }

// The stride only ever matters up to what the level scan accepts; growing beyond would wrap.
constexpr uint32_t kStrideCeiling = 16000;

// Device position in ms; false when it did not come from the device.
bool device_position_ms(uint32_t now, int64_t& p) {
    p = int64_t(now - StartTime);
    if (now == StartTime) {
        p = 0;
        return false;
    }
    const bool record = SourceState.mode == SourceMode::RecordPort;
    DevicePosition pos;
    int rc = kWaveError;
    if (record) {
        if (WaveInDevice) rc = WaveInDevice->get_position(pos);
    } else if (WaveOutDevice) {
        rc = WaveOutDevice->get_position(pos);
    }
    if (rc != kWaveOk) return false;
    switch (pos.type) {
        case PositionType::Ms: p = pos.value; return true;
        case PositionType::Bytes:
            if (!SourceInfo.output_bytes_per_second) return false;
            p = int64_t(uint64_t(pos.value) * 1000 / SourceInfo.output_bytes_per_second);
            return true;
        case PositionType::Samples: {
            const int64_t per_second =
                eleven_family() ? int64_t(SourceInfo.khz / 11) * 11025 : int64_t(SourceInfo.khz) * 1000;
            if (per_second <= 0) return false;
            p = int64_t(pos.value) * 1000 / per_second;
            return true;
        }
        default: return false;
    }
}

// Where in slot 0 the sound at device position p (ms) lies: a monitor is behind the device by the
// block it has not yet filled and the driver's latency; a play counts at its own rate when the
// position did not come from the device. p becomes the position the "Pos:" line shows.
int64_t heard_offset(int64_t& p, bool from_device) {
    const uint32_t obps = SourceInfo.output_bytes_per_second;
    const int align = std::max(SourceInfo.block_align, 1);
    if (SourceState.mode != SourceMode::RecordPort) {
        if (!from_device) p = int64_t(p * RateFactor);
        // The sound takes this much longer to reach the ear than the device says.
        else p = std::max<int64_t>(p - Settings.LatencyOffset, 0);
        return int64_t(double(obps) * p * 0.001);
    }
    int64_t k;
    const int64_t behind = int64_t(SourceInfo.DataTotal) - int64_t(ChunkSize);
    if (from_device) {
        if (obps) p += behind * 1000 / obps;
        k = PlatformVersion <= 779 ? 1856 : 1344;
    } else {
        k = PlatformVersion <= 779 ? 4096 : 2432;
    }
    k = eleven_family() ? k * align * (SourceInfo.khz / 11) : k * align * (SourceInfo.khz / 8);
    return int64_t(double(obps) * p * 0.001) - int64_t(BlockBytes) - k - behind;
}

// The block of slot 0 a tick analyses for the sound at `offset`: from where the last tick's block
// ended, at most a time slice, whole frames, within what the buffer holds. False when there is none.
bool block_to_analyse(int64_t& offset, int64_t& m) {
    const int align = std::max(SourceInfo.block_align, 1);
    int64_t available;
    int64_t m_align = align;
    if (ConversionStream) {
        m_align = std::max<int64_t>(2 * (SourceInfo.ChannelLayout == 1 ? 1 : 2), 1);
        offset -= offset % m_align;
        offset = std::max<int64_t>(offset, 0);
        available = int64_t(BufferBytes[kMemorySoundSlot]) - offset;
    } else {
        if (align > 1) offset -= offset % align;
        available = int64_t(ChunkSize) - offset;
    }
    if (available <= 0) return false;

    m = BlockBytes;
    if (offset < 0) {
        m += offset;
        offset = 0;
    }
    if (m <= 0) return false;
    m = std::min(m, available);
    if (m_align > 1) m -= m % m_align;

    if (offset - LastAnalysedEnd + m > 0 && offset > LastAnalysedEnd) {
        m += offset - LastAnalysedEnd;
        offset = LastAnalysedEnd;
    }
    if (offset - LastAnalysedEnd + m <= 0) {
        m = offset + m;
        offset = 0;
    }
    return !(offset == 0 && LastAnalysedEnd != 0);
}

}  // namespace

uint32_t MemoryTimerPeriod(uint32_t deltatime, int khz, double rate_factor) {
    const uint32_t slice = khz % 11 == 0 ? deltatime * 1000 / 11025 : deltatime / 8;
    return uint32_t(slice / rate_factor + 0.5);
}

void StartMemoryTimer(double rate_factor) {
    TimerPeriod = MemoryTimerPeriod(Settings.deltatime, SourceInfo.khz, rate_factor);
    if (TheMainWindow) TheMainWindow->set_timer(1, int(std::max<uint32_t>(TimerPeriod, 1)));
    StartTime = TimerStartStamp = TimerElapsedStamp = time_get_time();
}

void TimerTick(Dc& dc, uint32_t now) {
    if (!SourceState.running || TimerReentry != 1) return;
    ++TimerReentry;
    struct Leave {
        ~Leave() { --TimerReentry; }
    } leave;

    int64_t p = 0;
    const bool from_device = device_position_ms(now, p);
    if (from_device) TimerDevicePositionMs = double(p);
    if (PlatformVersion <= 779) {
        if (uint32_t(p) == PreviousDevicePosition) {
            p += int64_t(now - PreviousDevicePositionTime);
        } else {
            PreviousDevicePosition = uint32_t(p);
            PreviousDevicePositionTime = now;
        }
    }
    int64_t offset = heard_offset(p, from_device);

    const auto kb = (unsigned long)(double(SourceInfo.source_bytes_per_second) * p / 1024 / 1000 + 0.5);
    DrawPositionText(dc, PositionText(kb, p / 1000.0));

    int64_t m = 0;
    if (!block_to_analyse(offset, m)) return;
    const uint32_t obps = SourceInfo.output_bytes_per_second;
    const bool record = SourceState.mode == SourceMode::RecordPort;
    if (record) {
        // A monitor's rows keep the time their sound was heard at, the input's gaps counted.
        TakeInputGaps();
        InputBlockOffset = uint64_t(offset);
    }
    const double seconds = record ? InputSeconds(uint64_t(offset)) : obps ? double(offset) / obps : 0.0;
    if (m > 0) {
        BlockView block;
        block.data = SampleBuffers[kMemorySoundSlot] + offset;
        block.bytes = uint32_t(m);
        block.seconds = seconds;
        block.offset = uint64_t(offset);
        AnalyseTickBlock(dc, block);
    }
    TuneLevelStride(now);
    LastAnalysedEnd = int32_t(offset + m);
}

void RunTimerTick(Dc& dc, uint32_t now) {
    const Font* previous = dc.select_font(nullptr);
    SetSchemeTextColours(dc);
    TimerTick(dc, now);
    dc.select_font(previous);
}

void RunTimerTick(uint32_t now) {
    WindowDc wdc;
    RunTimerTick(wdc.dc(), now);
}

const BlockAnalysis& AnalyseTickBlock(Dc& dc, BlockView block) {
    block.scan_stride = LevelScanStride;
    const BlockAnalysis& a = MeasureWithSettings(RunAnalyser, block);
    for (const std::string& text : TakeFftShortageTexts(JapaneseUi))
        if (FftNoMemoryReport) FftNoMemoryReport(text);
    if (a.failure_status) {
        message_box({JapaneseUi ? a.failure_text_japanese : a.failure_text, "", a.failure_owned, MbIcon::None});
        end_process(a.failure_status);
    }
    SteerPointer(a.pointer);
    if (PresentAnalysedBlock) PresentAnalysedBlock(dc, a, block.purpose);
    // The scan keeps to its own limits: the next stride is tuned from the one it used.
    if (a.level_stride) LevelScanStride = a.level_stride;
    if (block.purpose == AnalysisPurpose::PictureOnly) {
        if (PictureObserver) PictureObserver(block.seconds, a);
    } else if (AnalysisObserver) {
        AnalysisObserver(block.seconds, a);
    }
    return a;
}

void PaceTick(uint32_t wait_ms) {
    while (time_get_time() - LastTickTime < wait_ms) sleep_ms(1);
    LastTickTime = time_get_time();
}

uint32_t ExpectedTickMs() {
    double e = eleven_family() ? Settings.deltatime * 1000.0 / 11025 : Settings.deltatime * 0.125;
    if (SourceState.mode != SourceMode::RecordPort) e *= std::pow(0.5, Settings.PlayRate / 120.0);
    uint32_t ms = uint32_t(e + 0.5);
    if (BufferCount == 1) ms = std::max<uint32_t>(uint32_t(ms * 1.4), 55);
    else if (is_block_rate_tag(SourceInfo.format_tag)) ms = uint32_t(ms * 1.4);
    return ms;
}

uint32_t TunedStride(uint32_t s, int64_t interval, int64_t busy, uint32_t e, bool record) {
    if (interval > 1.09 * e) return std::min(s * 2, kStrideCeiling);
    if (interval > 1.01 * e) return std::min(s + 1, kStrideCeiling);
    struct Rule {
        double share;
        uint32_t at_least;
    };
    if (!record) {
        if (busy < 0.96 * e && s > 60) return s / 2;
        static constexpr Rule rules[] = {{0.89, 9}, {0.85, 7}, {0.78, 5}, {0.72, 4}, {0.63, 3}, {0.45, 2}};
        for (const Rule& r : rules)
            if (busy < r.share * e && s >= r.at_least) return s - 1;
        return s;
    }
    if (busy < 0.1 * e && s > 30) return s / 2;
    if (busy < 0.05 * e && s > 15) return s / 2;
    static constexpr Rule rules[] = {{0.6, 9}, {0.5, 7}, {0.4, 5}, {0.3, 4}, {0.2, 3}, {0.1, 2}};
    for (const Rule& r : rules)
        if (busy < r.share * e && s >= r.at_least) return s - 1;
    return s;
}

void TuneLevelStride(uint32_t tick_start) {
    const int64_t interval = int32_t(tick_start - PreviousTickStart);
    const int64_t busy = int32_t(time_get_time() - tick_start);
    LevelScanStride = TunedStride(LevelScanStride, interval, busy, ExpectedTickMs(),
                                  SourceState.mode == SourceMode::RecordPort);
    PreviousTickStart = tick_start;
}

}  // namespace dl
