#include "audio/playback.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "analysis/meter_strip.h"
#include "analysis/pipeline.h"
#include "analysis/pitch.h"
#include "audio/conversion.h"
#include "audio/devices.h"
#include "audio/run.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "display/frame.h"
#include "display/spectrogram.h"
#include "display/level_meter.h"
#include "display/position_line.h"
#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/ui_post.h"
#include "platform/wave_format.h"
#include "resources/string_table.h"
#include "state/analysis.h"
#include "state/engine.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/window_dc.h"

namespace dl {

namespace {

constexpr uint32_t kFloppyBytes = 1457664;
// How much of a compressed stream is read for a buffer while it gives no sound, beyond the header
// packets it announced (Ogg's codebooks, comments with pictures).
constexpr uint32_t kQuietLimit = 1u << 20;

// Completions carry the play they belong to, so those of a device already closed are ignored
// even when the next play has begun.
uint32_t g_generation = 0;
constexpr uint32_t kGenerationMask = 0xFFFFF;

bool converting() { return ConversionStream != nullptr; }

void report(const char* japanese, int id) {
    message_box({JapaneseUi ? japanese : LoadStringText(id), "", true, MbIcon::Exclamation});
}

void report_formatted(const char* japanese, int id, int a, long b) {
    char buf[256];
    std::snprintf(buf, sizeof buf, JapaneseUi ? japanese : LoadStringText(id), a, b);
    message_box({buf, "", true, MbIcon::Exclamation});
}

void report_open_failure(int rc) {
    switch (rc) {
        case kWaveBadDeviceId: report("範囲外のデバイスIDが指定されました。", 34); break;
        case kWaveAllocated: report("他のソフトがサウンドを使っています。", 34); break;
        case kWaveNoMemory: report("メモリの割り当てができません。", 16); break;
        case kWaveBadFormat: report("この形式を再生できるドライバがありません。", 33); break;
        default: report("音声出力デバイスを開けません。", 34); break;
    }
}

WaveOut::Done completion_route() {
    const int base = int((g_generation & kGenerationMask) << 2);
    if (WaveOutDoneSink) {
        auto sink = WaveOutDoneSink;
        return [sink, base](int i) { sink(base + i); };
    }
    if (TheMainWindow) {
        MainWindow* w = TheMainWindow;
        return [w, base](int i) { w->post_wave_out_done(base + i); };
    }
    return [base](int i) { post_to_ui([h = base + i] { PlaybackTick(h); }); };
}

// A device that goes away ends the play, and says so.
void device_lost() {
    if (!SourceState.running || SourceState.mode != SourceMode::File) return;
    EndRun(true);
    DeviceLost = true;
    ReportDeviceLost(false);
}

int open_device(const std::vector<uint8_t>& record) {
    ++g_generation;
    if (UseInstantDevice) return wave_out_open_instant(record, completion_route(), WaveOutDevice);
    DeviceChoice choice = ChosenDevice(false, device_lost);
    // Streaming keeps its four buffers queued: with small time slices the device's period must not
    // outgrow them, or every period waits for the next tick.
    if (BufferCount == 4) {
        const uint64_t per_buffer = ConversionStream ? ConvertedSize : ChunkSize;
        choice.queued_bytes = uint32_t(std::min<uint64_t>(4 * per_buffer, 0xFFFFFFFFu));
    }
    return wave_out_open(record, completion_route(), WaveOutDevice, choice);
}

// The block that sounds now, analysed and drawn; batch mode hears of it with its start.
void analyse_buffer(Dc& dc, int slot) {
    const BlockAnalysis& a = AnalyseBlock(dc, slot, BufferBytes[size_t(slot)]);
    if (!AnalysisObserver) return;
    const uint32_t bps = SourceInfo.output_bytes_per_second;
    AnalysisObserver(bps ? double(BufferPlayedOffset[size_t(slot)]) / bps : 0.0, a);
}

// Streaming a converted source, whose buffers hold one time slice of sound each.
bool sliced() { return converting() && BufferCount != 1; }
// Its last sound is in the buffers.
bool slices_ended() { return SourceInfo.DataRemaining == 0 && !ConversionPending(); }

// The next time slice of a converted stream into slot i; returns its valid bytes.
uint32_t fill_slice(int i, uint64_t quiet_limit, bool* short_read) {
    const SliceFill r = ConvertSlice(i, quiet_limit);
    if (short_read) *short_read = r.short_read;
    BufferSourceBytes[size_t(i)] = r.file_bytes;
    BufferPlayedOffset[size_t(i)] = PlayedBytesQueued;
    PlayedBytesQueued += r.bytes;
    return r.bytes;
}

// Reads n source bytes and makes slot i ready to play; returns its valid bytes.
uint32_t fill_buffer(int i, uint32_t n, bool* short_read) {
    uint8_t* dst = converting() ? SampleBuffers[5] : SampleBuffers[i];
    int64_t got = n && SourceFile && dst ? SourceFile->read(dst, n) : 0;
    if (got < 0) got = 0;
    if (short_read) *short_read = uint64_t(got) != n;
    uint32_t bytes = uint32_t(got);
    if (converting()) {
        bytes = ConvertOnce(bytes, i);
        // A stream that changes its layout ends where the change is.
        if (ConversionFormatChanged()) SourceInfo.DataRemaining = 0;
    }
    BufferPlayedOffset[i] = PlayedBytesQueued;
    PlayedBytesQueued += bytes;
    return bytes;
}

// A stream whose rest held no frame the decoder could find ended early: said, not passed off as
// the whole sound.
void report_undecoded_rest() {
    const uint64_t rest = PlayedStreamDamage.undecoded_tail;
    if (rest == 0) return;
    PlayEndedEarly = true;
    const uint32_t bps = SourceInfo.output_bytes_per_second;
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  JapaneseUi ? "ファイルの残り %llu バイトをデコードできません。音は %.2f 秒で終わります。"
                             : LoadStringText(102),
                  static_cast<unsigned long long>(rest), bps ? double(PlayedBytesQueued) / bps : 0.0);
    message_box({buf, "", true, MbIcon::Exclamation});
}

}  // namespace

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

uint32_t PacingWaitMs(uint32_t chunk_size, uint32_t bps, int play_rate, uint16_t tag, int platform_version) {
    if (bps == 0) return 0;
    double t = std::floor(std::pow(0.5, play_rate / 120.0) * (double(chunk_size) * 1000.0 / bps) * 0.95 + 0.5);
    if (tag == kTagMpegLayer3) t = std::floor(t / 2);
    t = std::min(t, 400.0);
    if (t <= (platform_version < 863 ? 50 : 113)) t = std::floor(t * 0.66);
    return uint32_t(t);
}

void StartPlayback() {
    ResetPitchHistory();
    ResetSpectrogram();
    ResetMeterStrip();
    DeviceLost = false;
    PlayEndedEarly = false;
    PlayedStreamDamage = StreamDamage{};
    MemoryBufferCut = false;
    MemoryBufferSeconds = 0;
    TickPacing = !(ShiftHeldAtStart ? ShiftHeldAtStart() : shift_down());
    if (!SourceFile || !SourceFormatHeld) {
        if (!OpenSource()) return;
    }
    SourceState.mode = SourceMode::File;
    BufferCount = (Settings.OnMem || DiskSpace.total <= kFloppyBytes) ? 1 : 4;
    PlaybackProgress = 0;
    ComputeBufferSizes(SourceFormat);
    LevelScanStride = InitialLevelScanStride(SourceInfo.sample_rate, rd16(SourceFormat, kFmtChannels), BufferCount);
    FastLevelStyle = Settings.fftparam == 8 && !Settings.UseMemDC && BufferCount == 4;

    const uint16_t tag = SourceInfo.format_tag;
    // Whatever the device cannot take as it stands (compressed, companded, 24- and 32-bit, float,
    // whatever its tag says) plays through the converter.
    if (WaveFormat f; !parse_wave_format(SourceFormat, f) || !is_device_pcm(f)) OpenConversion(SourceFormat);

    // The play rate lowers the device's sample rate.
    RateFactor = std::pow(2.0, Settings.PlayRate / 120.0);
    const uint32_t rate = uint32_t(RateFactor * rd32(SourceFormat, kFmtRate) + 0.5);
    const uint16_t align = rd16(SourceFormat, kFmtBlockAlign);
    uint32_t bps = rd32(SourceFormat, kFmtBytesPerSec);
    wr32(SourceFormat, kFmtRate, rate);
    if (is_block_rate_tag(tag)) bps = align ? uint32_t(RateFactor * (bps / align) + 0.5) * align : 0;
    else if (tag == kTagPcm || tag == kTagALaw || tag == kTagMuLaw) bps = rate * align;
    else bps = uint32_t(RateFactor * bps + 0.5);
    wr32(SourceFormat, kFmtBytesPerSec, bps);

    if (const int rc = open_device(SourceFormat); rc != kWaveOk) {
        report_open_failure(rc);
        FreeFormatRecord();
        EndRun(false);  // the controls were not taken yet
        return;
    }
    FreeFormatRecord();
    const bool memory = BufferCount == 1;
    if (memory) DrawPreparingStatus("ファイル読み込み中", 66);
    StartControls(false);

    // Wave buffers, silent to begin with.
    const uint32_t size = converting() ? ConvertedSize : ChunkSize;
    const uint8_t silence = SourceInfo.bits == 16 || converting() ? 0 : 128;
    if (memory) SetBusyCursor(true);
    for (int i = 0; i < (memory ? 2 : BufferCount); ++i) {
        try {
            // A converted sound in memory takes the room its header says and grows as it goes
            // (ConvertOnce).
            if (memory && i == 0 && converting()) {
                std::vector<uint8_t>().swap(SampleStorage[0]);
                SampleStorage[0].reserve(std::max<uint32_t>(ExpectedConvertedBytes(size), 1));
            } else {
                SampleStorage[i].assign(std::max<uint32_t>(i == 1 && memory ? BlockBytes : size, 1), silence);
            }
        } catch (const std::bad_alloc&) {
            report("メモリ不足です。", 32);
            EndRun(true);
            return;
        }
        SampleBuffers[i] = SampleStorage[i].data();
    }

    if (converting() && !PrepareConversionInput(std::min(SourceInfo.DataRemaining, ChunkSize))) {
        EndRun(true);
        return;
    }

    NextBuffer = 0;
    PlayedBytesQueued = 0;
    for (int i = 0; i < 4; ++i) {
        BufferBytes[i] = BufferSourceBytes[i] = 0;
        BufferPlayedOffset[i] = 0;
        WaveHeaders[i] = WaveHeader{};
    }

    for (int i = 0; i < BufferCount; ++i) {
        const uint32_t n = sliced() ? ChunkSize : std::min(SourceInfo.DataRemaining, ChunkSize);
        bool short_read = false;
        uint32_t bytes = 0;
        if (sliced()) {
            bytes = fill_slice(i, kQuietLimit + (i == 0 ? SourceInfo.HeaderBytes : 0), &short_read);
        } else {
            BufferSourceBytes[i] = n;
            SourceInfo.DataRemaining -= n;
            bytes = fill_buffer(i, n, &short_read);
        }
        if (short_read) {
            report_formatted("データチャンクを読み取れません。%d %ld", 19, i, long(n));
            EndRun(true);
            return;
        }
        uint32_t bytes_now = bytes;
        // Stream headers (Ogg's codebooks) can outlast a small chunk: feed the first buffer on
        // until it has sound, rather than refusing a good file.
        for (uint32_t fed = n; converting() && !sliced() && i == 0 && bytes_now == 0 && SourceInfo.DataRemaining > 0 &&
                               fed < kQuietLimit + SourceInfo.HeaderBytes;) {
            const uint32_t more = std::min(SourceInfo.DataRemaining, ChunkSize);
            BufferSourceBytes[0] += more;
            SourceInfo.DataRemaining -= more;
            fed += more;
            bytes_now = fill_buffer(0, more, &short_read);
            if (short_read) break;
        }
        BufferBytes[i] = bytes_now;
        if (converting()) {
            const bool more = sliced() ? !slices_ended() : n > 0;
            if (bytes_now == 0 && (tag == kTagMpegLayer3 || is_ogg_tag(tag)) && i > 0 && more) {
                SampleBuffers[i][0] = SampleBuffers[i][1] = SampleBuffers[i][2] = SampleBuffers[i][3] = 0;
                BufferBytes[i] = 4;
                PlayedBytesQueued += 4;
            }
            if (BufferBytes[0] == 0) {
                message_box({"cannot convert", "", true, MbIcon::Exclamation});
                EndRun(true);
                return;
            }
        }
    }
    if (memory) {
        BufferBytes[1] = 0;
        SetBusyCursor(false);
        // What memory mode means: the buffer's sound is all that plays, and it is said so.
        MemoryBufferCut = SourceInfo.DataRemaining > 0 || ConversionPending();
        const uint32_t bps = SourceInfo.output_bytes_per_second;
        MemoryBufferSeconds = bps ? double(BufferBytes[0]) / bps : 0.0;
        if (MemoryBufferCut) RedrawLengthLine();
    }

    SourceState.running = true;
    if (!memory) set_high_priority(true);
    LastTickTime = time_get_time();
    PreviousTickStart = LastTickTime;

    for (int i = 0; i < BufferCount && BufferBytes[i] > 0; ++i) {
        WaveHeader& h = WaveHeaders[i];
        h = WaveHeader{};
        h.data = SampleBuffers[i];
        h.length = BufferBytes[i];
        h.user = uint32_t(i);
        const bool ended = sliced() ? slices_ended() : SourceInfo.DataRemaining == 0;
        if ((i < 3 && BufferBytes[i + 1] == 0) || (i == 3 && ended)) h.user |= kLastBufferMark;
        if (WaveOutDevice->prepare(h) != kWaveOk) {
            report("ウェーブヘッダーの準備ができません", 35);
            if (memory) {
                WindowDc wdc;
                BlackenLevelPanel(wdc.dc());
            }
            EndRun(true);
            return;
        }
        if (memory) {
            WindowDc wdc;
            Dc& dc = wdc.dc();
            BlackenLevelPanel(dc);
            DrawFrame(dc);
            const Font* old = dc.select_font(nullptr);
            SetSchemeTextColours(dc);
            LastAnalysedEnd = 0;
            TimerTick(dc, StartTime);
            DrawChannelLabels(dc);
            dc.select_font(old);
        }
        if (WaveOutDevice->write(h, i) != kWaveOk) {
            report("デバイスへの出力に失敗しました。", 51);
            EndRun(true);
            return;
        }
        if (memory) StartMemoryTimer(RateFactor);
    }

    PlaybackControls(true);
    StopRequested = false;

    if (!memory) {
        WindowDc wdc;
        Dc& dc = wdc.dc();
        DrawFrame(dc);
        SetSchemeTextColours(dc);
        if (BufferBytes[0] > 4) {
            const Font* old = dc.select_font(nullptr);
            analyse_buffer(dc, 0);
            dc.select_font(old);
        }
    }
}

void PlaybackTick(int header) {
    if ((uint32_t(header) >> 2) != (g_generation & kGenerationMask)) return;
    if (StopRequested) return;
    if (!SourceState.running || SourceState.mode != SourceMode::File || !WaveOutDevice) return;
    const int index = header & 3;
    const bool memory = BufferCount == 1;

    WindowDc wdc;
    Dc& dc = wdc.dc();
    if (memory) KillMemoryTimer();

    const uint32_t t = PacingWaitMs(ChunkSize, SourceInfo.source_bytes_per_second, Settings.PlayRate,
                                    SourceInfo.format_tag, PlatformVersion);
    if (t > 33 && TickPacing) {
        while (time_get_time() - LastTickTime < t) sleep_ms(1);
        LastTickTime = time_get_time();
    }

    const uint32_t tick_start = time_get_time();
    const Font* old = dc.select_font(nullptr);
    SetSchemeTextColours(dc);

    WaveHeader& h = WaveHeaders[index];
    const int i = int(h.user & 0xFFFF) & 3;
    const bool last = (h.user >> 16) != 0;

    NextBuffer = (NextBuffer + 1) % 4;
    PlaybackProgress += BufferSourceBytes[i];
    // A converted stream reads what its next slice needs; other sources a chunk a buffer.
    const uint32_t n = sliced() ? 0 : std::min(SourceInfo.DataRemaining, ChunkSize);
    if (!sliced()) BufferSourceBytes[i] = n;
    if (h.prepared && h.data) WaveOutDevice->unprepare(h);
    h.data = nullptr;

    if (DrawAnalysedBlocks && memory) {
        // The whole buffer has played: its length as the length line gives it.
        DrawPositionText(dc, MemoryPlayEndText());
    } else if (DrawAnalysedBlocks) {
        DrawPositionLine(dc);
    }
    SourceInfo.DataRemaining -= n;

    if (!last && BufferBytes[NextBuffer] > 4) {
        analyse_buffer(dc, NextBuffer);
    }

    if (!last && (sliced() ? !slices_ended() : n > 0)) {
        bool short_read = false;
        uint32_t bytes = sliced() ? fill_slice(i, kQuietLimit, &short_read) : fill_buffer(i, n, &short_read);
        if (short_read) {
            // The file shrank (truncated, rewritten) while it played: end here rather than run on
            // to its old length with a frozen display.
            const long asked = long(sliced() ? ChunkSize : n);
            PlayEndedEarly = true;
            dc.select_font(old);
            EndRun(true);
            report_formatted("データチャンクを読み取れません。%d %ld", 19, i, asked);
            return;
        }
        if (converting() && bytes == 0) {
            std::fill_n(SampleBuffers[i], 4, uint8_t(0));
            bytes = 4;
            PlayedBytesQueued += 4;
        }
        BufferBytes[i] = bytes;
        h.data = SampleBuffers[i];
        h.length = bytes;
        h.flags = 0;
        h.user = uint32_t(i);
        if (sliced() ? slices_ended() : SourceInfo.DataRemaining == 0) h.user |= kLastBufferMark;
        WaveOutDevice->prepare(h);
        WaveOutDevice->write(h, i);
        TuneLevelStride(tick_start);
    } else {
        BufferBytes[i] = 0;
        if (last) {
            dc.select_font(old);
            EndRun(true);
            report_undecoded_rest();
            return;
        }
    }
    dc.select_font(old);
}

void StopPlayback() { EndRun(true); }

}  // namespace dl
