#include "audio/source.h"

#include <sys/statvfs.h>

#include <new>

#include "analysis/measured_spectrum.h"
#include "audio/flac_opus_probe.h"
#include "audio/run.h"
#include "audio/source_messages.h"
#include "audio/stream_probe.h"
#include "display/frame.h"
#include "display/level_meter.h"
#include "display/position_line.h"
#include "display/source_panel.h"
#include "display/spectrogram.h"
#include "platform/process.h"
#include "platform/wave_format.h"
#include "platform/wave_format_query.h"
#include "state/analysis.h"
#include "state/run.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/window_dc.h"

namespace dl {

namespace {

// A format chunk must hold the common fields and fit the 16-bit size of the record.
constexpr uint32_t kMinFormatChunk = 16, kMaxFormatChunk = 65535;
// Data sizes from here up are what writers of a stream of unknown length put in.
constexpr uint32_t kUnknownDataSize = 0xFFFFF000u;

// A failed open leaves no file open and no record held, so the next open starts clean.
Result fail(SourceMessage m) {
    ReportSourceMessage(m);
    FreeFormatRecord();
    CloseSourceFile();
    return Result::Failed;
}

void set_lengths(uint32_t n) { SourceInfo.DataRemaining = SourceInfo.DataTotal = n; }
uint32_t clamp_length(uint64_t n) { return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(n); }

// Picks the panel font and colours; puts the font back when done.
class PanelDc {
public:
    PanelDc() : old_(dc_.dc().select_font(nullptr)) { SetSchemeTextColours(dc_); }
    ~PanelDc() { dc_.dc().select_font(old_); }
    Dc& dc() { return dc_.dc(); }

private:
    WindowDc dc_;
    const Font* old_;
};

}  // namespace

void CloseSourceFile() { SourceFile.reset(); }

void FreeFormatRecord() {
    SourceFormat.clear();
    SourceFormat.shrink_to_fit();
    SourceFormatHeld = false;
}

Result AllocateFormatRecord(uint32_t size) {
    FreeFormatRecord();
    try {
        SourceFormat.assign(size % 65536, 0);
    } catch (const std::bad_alloc&) {
        ReportSourceMessage(SourceMessage::FormatAllocFailed);
        CloseSourceFile();
        return Result::Failed;
    }
    SourceFormatHeld = true;
    return Result::Done;
}

uint32_t CapVolumeBytes(uint32_t bytes_per_cluster, uint64_t clusters) {
    if (bytes_per_cluster == 0) return 0;
    constexpr uint32_t kCap = 0x80000000u;
    if (kCap / bytes_per_cluster < clusters) return kCap;
    return uint32_t(clusters * bytes_per_cluster);
}

uint32_t MeasureDiskSpace(const std::string& file_name) {
    std::string dir = ".";
    if (auto slash = file_name.rfind('/'); slash != std::string::npos) dir = slash == 0 ? "/" : file_name.substr(0, slash);
    struct statvfs v {};
    if (statvfs(dir.c_str(), &v) != 0) {
        DiskSpace = DiskSpaceRecord{};
        return 0;
    }
    const unsigned long unit = v.f_frsize ? v.f_frsize : v.f_bsize;
    DiskSpace.bytes_per_cluster = unit > 0xFFFFFFFFul ? 0xFFFFFFFFu : uint32_t(unit);
    DiskSpace.total = CapVolumeBytes(DiskSpace.bytes_per_cluster, v.f_blocks);
    DiskSpace.free = CapVolumeBytes(DiskSpace.bytes_per_cluster, v.f_bavail);
    return DiskSpace.free;
}

void PublishSourceFormat(const std::vector<uint8_t>& record) {
    PanelDc panel;
    BlackenLevelPanel(panel.dc());

    const uint16_t channels = rd16(record, kFmtChannels), bits = rd16(record, kFmtBits);
    const uint16_t tag = rd16(record, kFmtTag);
    SourceInfoRecord& s = SourceInfo;
    s.ChannelLayout = channels == 2 ? 2 : 0;
    if (channels == 1 && bits == 16) s.ChannelLayout = 1;
    if (channels == 2 && bits == 16) s.ChannelLayout = 3;
    s.block_align = rd16(record, kFmtBlockAlign);
    s.source_bytes_per_second = s.output_bytes_per_second = rd32(record, kFmtBytesPerSec);
    s.sample_rate = rd32(record, kFmtRate);
    s.khz = int32_t((uint64_t(s.sample_rate) + 500) / 1000);
    s.format_tag = tag;
    // The lossy Ogg codecs have no sample width: their panel line gives the bit rate.
    s.bits = is_ogg_tag(tag) || tag == kTagOpus ? 0 : bits;

    DrawFormatLines(panel.dc());
    DrawPositionLine(panel.dc());
}

void RedrawLengthLine() {
    PanelDc panel;
    DrawLengthLine(panel.dc());
    DrawChannelLabels(panel.dc());
}

void ChooseSource(SourceMode mode) { SourceState.mode = mode; }

void CloseSource() {
    CloseSourceFile();
    // A play or monitor that still has its device ends with the source, the controls untouched.
    if (WaveOutDevice || WaveInDevice) EndRun(false);
    set_high_priority(false);
}

namespace {

// A file that is not RIFF: FLAC (a "fLaC" marker, after an ID3v2 tag or not, which no stream the
// other probes take begins with; its cover art must not pass for MPEG frames), then MPEG, then the
// Ogg codecs, each known by its first packet.
Result probe_plain_stream(RiffFile& f) {
    set_lengths(clamp_length(f.file_size()));
    ProbeResult r = ProbeFlacStream();
    if (r == kProbeFailed) return Result::Failed;
    if (r != kProbeRecognised) {
        f.seek(0, SEEK_SET);
        r = ProbeMpegStream(true);
    }
    if (r == kProbeFailed) return Result::Failed;
    for (auto probe : {ProbeOggStream, ProbeOggFlacStream, ProbeOpusStream}) {
        if (r != kProbeNotThisKind) break;
        r = probe(0);
        if (r == kProbeFailed) return Result::Failed;
    }
    return r == kProbeRecognised ? Result::Done : fail(SourceMessage::NotRiff);
}

// A RIFF WAVE file: its format chunk becomes the record.
Result read_wave_format(RiffFile& f) {
    if (!f.descend_chunk(SourceSubChunk, SourceRiffChunk, fourcc("fmt "))) return fail(SourceMessage::WaveBroken);
    const uint32_t size = SourceSubChunk.declared_size;
    if (size < kMinFormatChunk || size > kMaxFormatChunk) return fail(SourceMessage::WaveBroken);
    if (AllocateFormatRecord(size) != Result::Done) return Result::Failed;
    if (f.read(SourceFormat.data(), int64_t(SourceFormat.size())) != int64_t(SourceFormat.size()))
        return fail(SourceMessage::CannotReadFormat);
    f.ascend(SourceSubChunk);
    // Plain samples take rate x block bytes a second: a header's own figure (0, or one of
    // gigabytes) must size nothing.
    if (WaveFormat wf; parse_wave_format(SourceFormat, wf)) {
        if (const uint32_t a = derived_byte_rate(wf)) wr32(SourceFormat, kFmtBytesPerSec, a);
        // ADPCM's length and position come from its byte rate: one a header leaves at 0, or
        // gets wrong by more than rounding, is taken from the block layout.
        const uint32_t adpcm = adpcm_byte_rate(wf);
        const uint32_t said = wf.bytes_per_second;
        if (adpcm && (said == 0 || said < adpcm - adpcm / 100 || said > adpcm + adpcm / 100))
            wr32(SourceFormat, kFmtBytesPerSec, adpcm);
    }
    return Result::Done;
}

// Another RIFF form: an MPEG stream in its data chunk, read again from the file's start.
Result probe_riff_mpeg(RiffFile& f) {
    if (!f.descend_chunk(SourceSubChunk, SourceRiffChunk, fourcc("data"))) return fail(SourceMessage::RiffNoData);
    set_lengths(SourceSubChunk.size);
    const ProbeResult r = ProbeMpegStream(false);
    if (r == kProbeFailed) return Result::Failed;
    if (r != kProbeRecognised) return fail(SourceMessage::RiffNotMpeg);
    f.ascend(SourceSubChunk);
    f.ascend(SourceRiffChunk);
    f.seek(0, SEEK_SET);
    SourceRiffChunk = RiffChunk{};
    f.descend_riff(SourceRiffChunk);
    return Result::Done;
}

// Whether the output device (or the converter) can play the record.
Result query_playable() {
    const bool mpeg = rd16(SourceFormat, kFmtTag) == kTagMpegLayer3;
    if (mpeg && rd32(SourceFormat, kFmtRate) == 48000) wr32(SourceFormat, kFmtRate, 44100);
    const bool old_platform = PlatformVersion <= 779;
    if (!(old_platform && rd16(SourceFormat, kFmtTag) != kTagPcm && rd16(SourceFormat, kFmtChannels) != 1)) {
        if (int q = wave_out_query(SourceFormat); q != kWaveOk) return fail(QueryMessage(q));
    }
    if (mpeg && SourceInfo.khz == 48) wr32(SourceFormat, kFmtRate, 48000);
    return Result::Done;
}

}  // namespace

Result OpenSource() {
    ResetSpectrogram();  // another file: its history starts empty
    ResetMeasuredSpectrum(RunAnalyser);
    MemoryBufferCut = false;
    if (FileName.empty()) return fail(SourceMessage::NoFileName);
    SourceFile = RiffFile::open(FileName);
    if (!SourceFile) return fail(SourceMessage::CannotOpen);
    RiffFile& f = *SourceFile;
    SourceRiffChunk = RiffChunk{};
    f.seek(0, SEEK_SET);
    SourceInfo.DataStart = 0;
    SourceInfo.HeaderBytes = 0;
    SourceInfo.ExactSeconds = 0;
    SourceInfo.PromisedSeconds = 0;
    SourceInfo.PromiseSlackSeconds = 0;
    const bool riff = f.descend_riff(SourceRiffChunk);
    const Result read = !riff                                         ? probe_plain_stream(f)
                        : SourceRiffChunk.form_type == fourcc("WAVE") ? read_wave_format(f)
                                                                      : probe_riff_mpeg(f);
    if (read != Result::Done) return Result::Failed;

    PublishSourceFormat(SourceFormat);
    if (query_playable() != Result::Done) return Result::Failed;

    if (riff) {
        if (!f.descend_chunk(SourceSubChunk, SourceRiffChunk, fourcc("data")))
            return fail(SourceMessage::WaveNoData);
        // A size beyond the end of the file counts only what is there; the play says what is missing.
        // Writers that stream a file of unknown length put the largest size there: no promise.
        set_lengths(SourceSubChunk.size);
        const uint32_t declared = SourceSubChunk.declared_size;
        if (declared > SourceSubChunk.size && declared < kUnknownDataSize && SourceInfo.source_bytes_per_second > 0)
            SourceInfo.PromisedSeconds = double(declared) / SourceInfo.source_bytes_per_second;
    } else {
        // The probe found where the sound lies (tags left out); lengths stay as it set them.
        SourceInfo.DataRemaining = SourceInfo.DataTotal;
        f.seek(int64_t(SourceInfo.DataStart), SEEK_SET);
    }
    if (SourceInfo.PromisedSeconds == 0 && SourceInfo.ExactSeconds > 0) {
        // The streams' own counts: FLAC's exact to the sample, the others' within a packet or two.
        SourceInfo.PromisedSeconds = SourceInfo.ExactSeconds;
        const uint16_t tag = SourceInfo.format_tag;
        SourceInfo.PromiseSlackSeconds = tag == kTagFlac ? 0.001 : 0.25;
    }
    MeasureDiskSpace(FileName);
    if (SourceInfo.DataRemaining == 0) return fail(SourceMessage::DataEmpty);
    RedrawLengthLine();
    return Result::Done;
}

}  // namespace dl
