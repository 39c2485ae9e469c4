#include "audio/playback.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "audio/conversion.h"
#include "audio/devices.h"
#include "audio/display_tick.h"
#include "audio/pcm_floats.h"
#include "audio/played_sound.h"
#include "audio/run.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "display/frame.h"
#include "display/level_meter.h"
#include "display/position_line.h"
#include "platform/audio_system.h"
#include "platform/main_window.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/ui_post.h"
#include "platform/wave_format.h"
#include "resources/device_errors.h"
#include "resources/messages.h"
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

constexpr uint32_t kFloppyBytes = 1457664;
// How much of a compressed stream is read for a buffer while it gives no sound, beyond the header
// packets it announced (Ogg's codebooks, comments with pictures).
constexpr uint32_t kQuietLimit = 1u << 20;

// Completions carry the play they belong to, so those of a device already closed are ignored
// even when the next play has begun.
uint32_t g_generation = 0;
constexpr uint32_t kGenerationMask = 0xFFFFF;

bool converting() { return ConversionStream != nullptr; }
bool memory_mode() { return BufferCount == 1; }

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

// The block that sounds now, analysed and drawn, with its start. That is the buffer that has just
// started, unless the sound system holds sound beyond it (it says how much) or the user says the
// sound takes longer to reach the ear: then it is the block heard now.
void analyse_buffer(Dc& dc, int slot) {
    const uint32_t n = BufferBytes[size_t(slot)];
    const uint32_t bps = SourceInfo.output_bytes_per_second;
    const uint64_t queued_at = BufferPlayedOffset[size_t(slot)];
    uint64_t device_heard = 0;
    const bool device_knows = WaveOutDevice && WaveOutDevice->heard_position(device_heard);
    const uint32_t offset_ms = UseInstantDevice ? 0 : uint32_t(Settings.LatencyOffset);
    const uint64_t heard = HeardBlockStart(queued_at, device_knows, device_heard, offset_ms, bps,
                                           uint32_t(std::max(SourceInfo.block_align, 1)));
    static std::vector<uint8_t> block;
    bool from_history = false;
    if (heard != queued_at) {
        try {
            block.resize(n);
            from_history = CopyPlayedSound(heard, block.data(), n);
        } catch (const std::bad_alloc&) {
        }
    }
    BlockView view;
    view.data = from_history ? block.data() : SampleBuffers[size_t(slot)];
    view.bytes = n;
    view.seconds = bps ? double(from_history ? heard : queued_at) / bps : 0.0;
    // With its own clock drawing the picture the block is analysed for the rows alone.
    if (DisplayTimerOn()) view.purpose = AnalysisPurpose::RowsOnly;
    AnalyseTickBlock(dc, view);
}

// A source the device plays as it stands (8- or 16-bit PCM) as its samples were read, for the
// batch run that measures them; a converted source hands its own over as it converts them.
void pass_decoded_pcm(const uint8_t* data, uint32_t bytes) {
    if (DecodedSoundObserver) PassPcmAsFloats(data, bytes, (SourceInfo.ChannelLayout & 1) != 0, DecodedSoundObserver);
}

// Streaming a converted source, whose buffers hold one time slice of sound each.
bool sliced() { return converting() && BufferCount != 1; }
// Its last sound is in the buffers.
bool slices_ended() { return SourceInfo.DataRemaining == 0 && !ConversionPending(); }
// Nothing of the source is left for another buffer.
bool source_ended() { return sliced() ? slices_ended() : SourceInfo.DataRemaining == 0; }

// The next time slice of a converted stream into slot i; returns its valid bytes.
uint32_t fill_slice(int i, uint64_t quiet_limit, bool* short_read) {
    const SliceFill r = ConvertSlice(i, quiet_limit);
    if (short_read) *short_read = r.short_read;
    BufferSourceBytes[size_t(i)] = r.file_bytes;
    BufferPlayedOffset[size_t(i)] = PlayedBytesQueued;
    PlayedBytesQueued += r.bytes;
    KeepPlayedSound(BufferPlayedOffset[size_t(i)], SampleBuffers[size_t(i)], r.bytes);
    return r.bytes;
}

// Reads n source bytes and makes slot i ready to play; returns its valid bytes.
uint32_t fill_buffer(int i, uint32_t n, bool* short_read) {
    uint8_t* dst = converting() ? (ConversionInput.empty() ? nullptr : ConversionInput.data()) : SampleBuffers[size_t(i)];
    int64_t got = n && SourceFile && dst ? SourceFile->read(dst, n) : 0;
    if (got < 0) got = 0;
    if (short_read) *short_read = uint64_t(got) != n;
    uint32_t bytes = uint32_t(got);
    if (converting()) {
        bytes = ConvertOnce(bytes, i);
        // A stream that changes its layout ends where the change is.
        if (ConversionFormatChanged()) SourceInfo.DataRemaining = 0;
    }
    else pass_decoded_pcm(SampleBuffers[size_t(i)], bytes);
    BufferPlayedOffset[size_t(i)] = PlayedBytesQueued;
    PlayedBytesQueued += bytes;
    if (!memory_mode()) KeepPlayedSound(BufferPlayedOffset[size_t(i)], SampleBuffers[size_t(i)], bytes);
    return bytes;
}

// A buffer a converted stream left without sound still plays: four silent bytes keep the ring going.
uint32_t keep_going(int i) {
    std::fill_n(SampleBuffers[size_t(i)], 4, uint8_t(0));
    PlayedBytesQueued += 4;
    return 4;
}

// A stream whose rest held no frame the decoder could find ended early: said, not passed off as
// the whole sound.
void report_undecoded_rest() {
    const uint64_t rest = PlayedStreamDamage.undecoded_tail;
    if (rest == 0) return;
    PlayEndedEarly = true;
    const uint32_t bps = SourceInfo.output_bytes_per_second;
    ReportMessage(kMsgRestUndecoded, static_cast<unsigned long long>(rest),
                  bps ? double(PlayedBytesQueued) / bps : 0.0);
}

// A file that ends before the length its header gives is played as far as it goes, and said: the
// rows and the picture are of what was there, not of the whole sound. Sound that damage took from
// the end has been said as damage.
void report_shortfall() {
    const SourceInfoRecord& s = SourceInfo;
    if (PlayEndedEarly || MemoryBufferCut || s.PromisedSeconds <= 0 || s.output_bytes_per_second == 0) return;
    if (PlayedStreamDamage.skipped_places > 0) return;
    const double played = double(PlayedBytesQueued) / s.output_bytes_per_second;
    if (played + s.PromiseSlackSeconds >= s.PromisedSeconds) return;
    PlayEndedEarly = true;
    ReportMessage(kMsgEndsShort, played, s.PromisedSeconds);
}

// The start's first phase: what the last play left is forgotten, and the pacing chosen.
void begin_play() {
    BeginRun();
    PlayEndedEarly = false;
    PlayedStreamDamage = StreamDamage{};
    MemoryBufferCut = false;
    MemoryBufferSeconds = 0;
    TickPacing = !(ShiftHeldAtStart ? ShiftHeldAtStart() : shift_down());
}

// Sizing: memory mode where the settings ask for it or the volume is a floppy's.
void size_play() {
    BufferCount = (Settings.OnMem || DiskSpace.total <= kFloppyBytes) ? 1 : 4;
    PlaybackProgress = 0;
    SizeRun();
}

// Format: whatever the device cannot take as it stands (compressed, companded, 24- and 32-bit,
// float, whatever its tag says) plays through the converter, and the play rate lowers the
// device's sample rate.
void fit_play_format() {
    if (WaveFormat f; !parse_wave_format(SourceFormat, f) || !is_device_pcm(f)) OpenConversion(SourceFormat);
    const uint16_t tag = SourceInfo.format_tag;
    RateFactor = std::pow(2.0, Settings.PlayRate / 120.0);
    const uint32_t rate = uint32_t(RateFactor * rd32(SourceFormat, kFmtRate) + 0.5);
    const uint16_t align = rd16(SourceFormat, kFmtBlockAlign);
    uint32_t bps = rd32(SourceFormat, kFmtBytesPerSec);
    wr32(SourceFormat, kFmtRate, rate);
    if (is_block_rate_tag(tag)) bps = align ? uint32_t(RateFactor * (bps / align) + 0.5) * align : 0;
    else if (tag == kTagPcm || tag == kTagALaw || tag == kTagMuLaw) bps = rate * align;
    else bps = uint32_t(RateFactor * bps + 0.5);
    wr32(SourceFormat, kFmtBytesPerSec, bps);
}

// Device: the output device for the fitted record, which is then given up. False after the
// device's refusal was reported.
bool open_play_device() {
    ++g_generation;
    int rc;
    if (UseInstantDevice) {
        rc = wave_out_open_instant(SourceFormat, completion_route(), WaveOutDevice);
    } else if (OpenTestWaveOut) {
        rc = OpenTestWaveOut(SourceFormat, completion_route(), WaveOutDevice);
    } else {
        DeviceChoice choice = ChosenDevice(false, device_lost);
        // Streaming keeps its four buffers queued: with small time slices the device's period must
        // not outgrow them, or every period waits for the next tick.
        if (BufferCount == 4) {
            const uint64_t per_buffer = converting() ? ConvertedSize : ChunkSize;
            choice.queued_bytes = uint32_t(std::min<uint64_t>(4 * per_buffer, 0xFFFFFFFFu));
        }
        rc = wave_out_open(SourceFormat, completion_route(), WaveOutDevice, choice);
    }
    FreeFormatRecord();
    if (rc == kWaveOk) return true;
    ReportMessage(DeviceErrorMessage(rc, DeviceRefusal::PlayOpen));
    return false;
}

// Buffers: the wave buffers, silent to begin with (a converted sound in memory takes the room its
// header says and grows as it goes, ConvertOnce), and the conversion's input.
bool allocate_play_buffers() {
    const uint32_t size = converting() ? ConvertedSize : ChunkSize;
    const uint8_t silence = SourceInfo.bits == 16 || converting() ? 0 : 128;
    const uint32_t reserve =
        memory_mode() && converting() ? std::max<uint32_t>(ExpectedConvertedBytes(size), 1) : 0;
    if (!AllocateWaveBuffers(size, silence, reserve)) return false;
    return !converting() || PrepareConversionInput(std::min(SourceInfo.DataRemaining, ChunkSize));
}

// First fill of buffer i. False after a failure was reported.
bool first_fill(int i) {
    const uint16_t tag = SourceInfo.format_tag;
    const uint32_t n = sliced() ? ChunkSize : std::min(SourceInfo.DataRemaining, ChunkSize);
    bool short_read = false;
    uint32_t bytes = 0;
    if (sliced()) {
        bytes = fill_slice(i, kQuietLimit + (i == 0 ? SourceInfo.HeaderBytes : 0), &short_read);
    } else {
        BufferSourceBytes[size_t(i)] = n;
        SourceInfo.DataRemaining -= n;
        bytes = fill_buffer(i, n, &short_read);
    }
    if (short_read) {
        ReportMessage(kMsgCannotReadData, i, long(n));
        return false;
    }
    // Stream headers (Ogg's codebooks) can outlast a small chunk: feed the first buffer on until it
    // has sound, rather than refusing a good file.
    for (uint32_t fed = n; converting() && !sliced() && i == 0 && bytes == 0 && SourceInfo.DataRemaining > 0 &&
                           fed < kQuietLimit + SourceInfo.HeaderBytes;) {
        const uint32_t more = std::min(SourceInfo.DataRemaining, ChunkSize);
        BufferSourceBytes[0] += more;
        SourceInfo.DataRemaining -= more;
        fed += more;
        bytes = fill_buffer(0, more, &short_read);
        if (short_read) break;
    }
    BufferBytes[size_t(i)] = bytes;
    if (!converting()) return true;
    const bool more = sliced() ? !slices_ended() : n > 0;
    if (bytes == 0 && (tag == kTagMpegLayer3 || is_ogg_tag(tag)) && i > 0 && more) BufferBytes[size_t(i)] = keep_going(i);
    if (BufferBytes[0] != 0) return true;
    ReportMessage(kMsgCannotConvert);
    return false;
}

// First fill: every buffer from the source's start. In memory mode the one buffer's sound is all
// that plays, and it is said so when that is not the whole sound.
bool first_fill() {
    NextBuffer = 0;
    PlayedBytesQueued = 0;
    // What the sound system and the user's offset hold beyond the buffers, and the buffers.
    if (memory_mode()) FreePlayedSound();
    else ResetPlayedSound(SourceInfo.output_bytes_per_second, 1.0 + Settings.LatencyOffset / 1000.0,
                          5ull * (converting() ? ConvertedSize : ChunkSize) + BlockBytes);
    BufferBytes.fill(0);
    BufferSourceBytes.fill(0);
    BufferPlayedOffset.fill(0);
    WaveHeaders.fill(WaveHeader{});
    for (int i = 0; i < BufferCount; ++i)
        if (!first_fill(i)) return false;
    if (!memory_mode()) return true;
    BufferBytes[kMemoryBlockSlot] = 0;
    ReportRunEvent(RunEvent::Filled);
    MemoryBufferCut = SourceInfo.DataRemaining > 0 || ConversionPending();
    const uint32_t bps = SourceInfo.output_bytes_per_second;
    MemoryBufferSeconds = bps ? double(BufferBytes[kMemorySoundSlot]) / bps : 0.0;
    if (MemoryBufferCut) RedrawLengthLine();
    return true;
}

// Memory mode, as its one buffer goes to the device: the panel and the frame are drawn and timer 1
// analyses the block at the start.
void draw_memory_start() {
    WindowDc wdc;
    Dc& dc = wdc.dc();
    BlackenLevelPanel(dc);
    DrawFrame(dc);
    LastAnalysedEnd = 0;
    RunTimerTick(dc, StartTime);
    DrawChannelLabels(dc);
}

// The filled buffers go to the device, the last one marked. False after a failure was reported.
bool queue_buffers() {
    for (int i = 0; i < BufferCount && BufferBytes[size_t(i)] > 0; ++i) {
        WaveHeader& h = FreshWaveHeader(i, BufferBytes[size_t(i)]);
        if ((i < 3 && BufferBytes[size_t(i) + 1] == 0) || (i == 3 && source_ended())) h.user |= kLastBufferMark;
        if (WaveOutDevice->prepare(h) != kWaveOk) {
            ReportMessage(kMsgHeaderFailed);
            if (memory_mode()) {
                WindowDc wdc;
                BlackenLevelPanel(wdc.dc());
            }
            return false;
        }
        if (memory_mode()) draw_memory_start();
        if (WaveOutDevice->write(h, i) != kWaveOk) {
            ReportMessage(kMsgWriteFailed);
            return false;
        }
        if (memory_mode()) StartMemoryTimer(RateFactor);
    }
    return true;
}

// Streaming: the frame, and the first buffer's block as it starts to sound.
void draw_first_block() {
    WindowDc wdc;
    Dc& dc = wdc.dc();
    DrawFrame(dc);
    SetSchemeTextColours(dc);
    if (BufferBytes[0] <= 4) return;
    const Font* old = dc.select_font(nullptr);
    analyse_buffer(dc, 0);
    dc.select_font(old);
}

// Buffer i after its completion: the next part of the source, queued again. False when the file
// shrank under the play (which then ends) or the device refused it (said).
bool refill(int i, uint32_t n) {
    bool short_read = false;
    uint32_t bytes = sliced() ? fill_slice(i, kQuietLimit, &short_read) : fill_buffer(i, n, &short_read);
    if (short_read) {
        // The file shrank (truncated, rewritten) while it played: end here rather than run on to
        // its old length with a frozen display.
        PlayEndedEarly = true;
        EndRun(true);
        ReportMessage(kMsgCannotReadData, i, long(sliced() ? ChunkSize : n));
        return false;
    }
    if (converting() && bytes == 0) bytes = keep_going(i);
    BufferBytes[size_t(i)] = bytes;
    WaveHeader& h = FreshWaveHeader(i, bytes);
    if (source_ended()) h.user |= kLastBufferMark;
    // A buffer the device does not take would leave the ring short, and the play without its end.
    if (WaveOutDevice->prepare(h) != kWaveOk || WaveOutDevice->write(h, i) != kWaveOk) {
        EndRun(true);
        ReportMessage(kMsgWriteFailed);
        return false;
    }
    return true;
}

}  // namespace

uint32_t PacingWaitMs(uint32_t chunk_size, uint32_t bps, int play_rate, uint16_t tag, int platform_version) {
    if (bps == 0) return 0;
    double t = std::floor(std::pow(0.5, play_rate / 120.0) * (double(chunk_size) * 1000.0 / bps) * 0.95 + 0.5);
    if (tag == kTagMpegLayer3) t = std::floor(t / 2);
    t = std::min(t, 400.0);
    if (t <= (platform_version < 863 ? 50 : 113)) t = std::floor(t * 0.66);
    return uint32_t(t);
}

Result StartPlayback() {
    begin_play();
    if ((!SourceFile || !SourceFormatHeld) && OpenSource() != Result::Done) return Result::Failed;
    SourceState.mode = SourceMode::File;
    size_play();
    fit_play_format();
    if (!open_play_device()) return FailedStart(false);  // the controls were not taken yet
    const bool memory = memory_mode();
    if (memory) ReportRunEvent(RunEvent::ReadingFile);
    ReportRunEvent(RunEvent::Taken);
    if (memory) ReportRunEvent(RunEvent::Filling);
    if (!allocate_play_buffers() || !first_fill()) return FailedStart(true);

    SourceState.running = true;
    if (!memory) set_high_priority(true);
    LastTickTime = time_get_time();
    PreviousTickStart = LastTickTime;
    if (!queue_buffers()) return FailedStart(true);
    ReportRunEvent(RunEvent::Running);
    StopRequested = false;
    if (!memory) draw_first_block();
    StartDisplayTimer();
    return Result::Done;
}

void PlaybackTick(int header) {
    if ((uint32_t(header) >> 2) != (g_generation & kGenerationMask)) return;
    if (StopRequested) return;
    if (!SourceState.running || SourceState.mode != SourceMode::File || !WaveOutDevice) return;
    const bool memory = memory_mode();

    WindowDc wdc;
    Dc& dc = wdc.dc();
    if (memory) KillMemoryTimer();
    const uint32_t t = PacingWaitMs(ChunkSize, SourceInfo.source_bytes_per_second, Settings.PlayRate,
                                    SourceInfo.format_tag, PlatformVersion);
    if (t > 33 && TickPacing && !DisplayTimerOn()) PaceTick(t);

    const uint32_t tick_start = time_get_time();
    const Font* old = dc.select_font(nullptr);
    SetSchemeTextColours(dc);

    WaveHeader& h = WaveHeaders[size_t(header & 3)];
    const int i = int(h.user & 0xFFFF) & 3;
    const bool last = (h.user >> 16) != 0;

    NextBuffer = (NextBuffer + 1) % 4;
    PlaybackProgress += BufferSourceBytes[size_t(i)];
    // A converted stream reads what its next slice needs; other sources a chunk a buffer.
    const uint32_t n = sliced() ? 0 : std::min(SourceInfo.DataRemaining, ChunkSize);
    if (!sliced()) BufferSourceBytes[size_t(i)] = n;
    if (h.prepared && h.data) WaveOutDevice->unprepare(h);
    h.data = nullptr;

    if (PresentAnalysedBlock && memory) {
        // The whole buffer has played: its length as the length line gives it.
        DrawPositionText(dc, MemoryPlayEndText());
    } else if (PresentAnalysedBlock) {
        DrawPositionLine(dc);
    }
    SourceInfo.DataRemaining -= n;

    if (!last && BufferBytes[size_t(NextBuffer)] > 4) analyse_buffer(dc, NextBuffer);

    if (!last && (sliced() ? !slices_ended() : n > 0)) {
        if (refill(i, n)) TuneLevelStride(tick_start);
    } else {
        BufferBytes[size_t(i)] = 0;
        if (last) {
            EndRun(true);
            report_undecoded_rest();
            report_shortfall();
        }
    }
    dc.select_font(old);
}

void StopPlayback() { EndRun(true); }

}  // namespace dl
