#include "audio/run.h"

#include <algorithm>
#include <new>
#include <vector>

#include "analysis/measured_spectrum.h"
#include "analysis/meter_strip.h"
#include "analysis/pitch.h"
#include "audio/conversion.h"
#include "audio/display_tick.h"
#include "audio/input_timeline.h"
#include "audio/played_sound.h"
#include "audio/source.h"
#include "display/spectrogram.h"
#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "platform/process.h"
#include "platform/screen_saver.h"
#include "platform/wave_format.h"
#include "resources/messages.h"
#include "state/analysis.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"

namespace dl {

namespace {

constexpr int kTimerId = 1;

void unprepare_all() {
    for (WaveHeader& h : WaveHeaders) {
        if (h.prepared && WaveOutDevice) WaveOutDevice->unprepare(h);
        if (h.prepared && WaveInDevice) WaveInDevice->unprepare(h);
        h.prepared = false;
    }
}

// Returns what the device still holds and closes it.
template <class Device>
void close_device(std::unique_ptr<Device>& device) {
    if (!device) return;
    if (device->close() == kWaveStillPlaying) {
        device->reset();
        device->close();
    }
    device.reset();
}

}  // namespace

void ReportRunEvent(RunEvent event) {
    if (RunObserver) RunObserver(event);
}

void ComputeBufferSizes(const std::vector<uint8_t>& record) {
    const uint32_t a = rd32(record, kFmtBytesPerSec);
    const uint32_t r = rd32(record, kFmtRate);
    const uint16_t tag = rd16(record, kFmtTag);
    const uint32_t align = std::max<uint16_t>(rd16(record, kFmtBlockAlign), 1);
    BlockBytes = SliceBytes(a, r, tag, Settings.deltatime);

    if (BufferCount != 1) {
        const uint32_t f = tag == kTagMpegLayer3 ? rd16(record, 24) : 0;
        if (tag == kTagMpegLayer3 && f) SourceInfo.block_align = int(f);
        ChunkSize = BlockBytes;
        if (ChunkSize % align != 0) {
            ChunkSize -= ChunkSize % align;
            if (ChunkSize == 0) ChunkSize = align;
            if (f && (ChunkSize / f) % 2 == 1) ChunkSize += f;
        }
        if (f && ChunkSize % f != 0) {
            ChunkSize -= ChunkSize % f;
            if (ChunkSize <= f) ChunkSize = BlockBytes < 1.5 * f ? f + 4 : 2 * f;
        }
        // A record without a byte rate would stream empty buffers for ever.
        if (ChunkSize == 0) ChunkSize = align;
    } else {
        ChunkSize = uint32_t(std::min<uint64_t>(SourceInfo.DataTotal, uint64_t(Settings.MemSize) << 20));
        if (PlatformVersion <= 779 && ChunkSize % 65536 == 0 && ChunkSize > align) ChunkSize -= align;
    }
}

uint32_t InitialLevelScanStride(uint32_t rate, int channels, int buffer_count) {
    if (buffer_count == 1) return 1;
    uint32_t s = rate >= 48000 ? 10 : rate >= 44100 ? 8 : rate >= 32000 ? 6 : rate >= 16000 ? 4 : 2;
    return channels == 2 ? 2 * s : s;
}

void BeginRun() {
    ResetPitchHistory(RunAnalyser);
    ResetSpectrogram();
    ResetMeterStrip(RunAnalyser.meters);
    ResetMeasuredSpectrum(RunAnalyser);
    DeviceLost = false;
}

void SizeRun() {
    ComputeBufferSizes(SourceFormat);
    LevelScanStride = InitialLevelScanStride(SourceInfo.sample_rate, rd16(SourceFormat, kFmtChannels), BufferCount);
    FastLevelStyle = Settings.fftparam == 8 && !Settings.UseMemDC && BufferCount == 4;
}

bool AllocateWaveBuffers(uint32_t size, uint8_t silence, uint32_t reserve) {
    const bool memory = BufferCount == 1;
    for (int i = 0; i < (memory ? 2 : BufferCount); ++i) {
        std::vector<uint8_t>& storage = SampleStorage[size_t(i)];
        try {
            if (memory && i == kMemorySoundSlot && reserve > 0) {
                std::vector<uint8_t>().swap(storage);
                storage.reserve(reserve);
            } else {
                storage.assign(std::max<uint32_t>(memory && i == kMemoryBlockSlot ? BlockBytes : size, 1), silence);
            }
        } catch (const std::bad_alloc&) {
            ReportMessage(kMsgNotEnoughMemory);
            return false;
        }
        SampleBuffers[size_t(i)] = storage.data();
    }
    return true;
}

WaveHeader& FreshWaveHeader(int slot, uint32_t length) {
    WaveHeader& h = WaveHeaders[size_t(slot)];
    h = WaveHeader{};
    h.data = SampleBuffers[size_t(slot)];
    h.length = length;
    h.user = uint32_t(slot);
    return h;
}

void FreeWaveBuffers() {
    for (int i = 0; i < kWaveBufferSlots; ++i) {
        std::vector<uint8_t>().swap(SampleStorage[size_t(i)]);
        SampleBuffers[size_t(i)] = nullptr;
    }
}

Result FailedStart(bool controls_taken) {
    EndRun(controls_taken);
    return Result::Failed;
}

void KillMemoryTimer() {
    if (TheMainWindow) TheMainWindow->kill_timer(kTimerId);
}

void EndRun(bool restore_controls) {
    KillMemoryTimer();
    StopDisplayTimer();
    // Buffers the reset returns, and any still on their way, belong to no run now.
    StopRequested = true;
    RecordStopState = 2;
    if (WaveOutDevice) WaveOutDevice->reset();
    if (WaveInDevice) WaveInDevice->reset();
    // The time the input had delivered nothing for when it stopped is said before it goes.
    if (SourceState.mode == SourceMode::RecordPort) TakeInputGaps(BufferCount == 1 ? UINT64_MAX : RecordedInputBytes);
    unprepare_all();
    close_device(WaveOutDevice);
    close_device(WaveInDevice);
    if (ConversionStream || !ConversionInput.empty()) CloseConversion();
    FreeWaveBuffers();
    FreePlayedSound();
    CloseSourceFile();
    if (SourceState.running && SourceState.mode == SourceMode::RecordPort) inhibit_screen_saver(false);
    SourceState.running = false;
    set_high_priority(false);
    ReportRunEvent(restore_controls ? RunEvent::Ended : RunEvent::Closed);
}

}  // namespace dl
