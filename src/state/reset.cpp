#include "state/reset.h"

#include "state/analysis.h"
#include "state/engine.h"
#include "state/layout_units.h"
#include "state/meters.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

void ResetProcessState() {
    Settings = SettingsRecord{};
    ChosenRecordFormat.reset();

    PlatformVersion = kThisPlatformVersion;
    JapaneseUi = false;
    MinimisedFlag = false;
    FileName.clear();
    TheMainWindow = nullptr;
    DarkScheme = true;
    WaveInDeviceCount = 0;
    WaveInFormatMask = 0;
    StartupAutoStart = false;

    CellWidth = 8;
    CellHeight = 7;
    GraphWidth = 512;
    WindowWidth = 592;
    WindowSurface = nullptr;

    SourceInfo = SourceInfoRecord{};
    SourceFormat.clear();
    SourceFormatHeld = false;
    DiskSpace = DiskSpaceRecord{};
    SourceFile.reset();
    SourceRiffChunk = SourceSubChunk = RiffChunk{};

    SourceState = SourceStateRecord{};
    SampleBuffers.fill(nullptr);
    for (auto& s : SampleStorage) std::vector<uint8_t>().swap(s);
    BufferCount = 4;
    ChunkSize = BlockBytes = ConvertedSize = 0;
    LevelScanStride = 1;
    PlaybackProgress = 0;
    StopRequested = false;
    DeviceLost = false;
    PlayEndedEarly = false;
    PlayedStreamDamage = StreamDamage{};
    MemoryBufferCut = false;
    MemoryBufferSeconds = 0;
    RecordStopState = 0;
    FastLevelStyle = false;
    TickPacing = true;
    RateFactor = 1.0;
    ConversionStream = nullptr;
    PlaybackFormat.clear();
    WaveHeaders.fill(WaveHeader{});
    WaveOutDevice.reset();
    WaveInDevice.reset();
    TimerDevicePositionMs = RecordRecountPositionMs = 0;
    BufferBytes.fill(0);
    BufferSourceBytes.fill(0);
    BufferPlayedOffset.fill(0);
    PlayedBytesQueued = 0;
    NextBuffer = 0;
    LastTickTime = StartTime = TimerPeriod = TimerStartStamp = TimerElapsedStamp = 0;
    LastAnalysedEnd = 0;
    TimerReentry = 1;
    PreviousTickStart = PreviousDevicePosition = PreviousDevicePositionTime = 0;
    UseInstantDevice = false;
    WaveOutDoneSink = nullptr;
    AnalysisObserver = nullptr;
    DrawAnalysedBlocks = true;
    ShiftHeldAtStart = nullptr;
    OpenTestWaveIn = nullptr;

    DrawSurface = nullptr;
    DrawSurfaceStore = DrawSurfaceRecord{};
    BorderRop = BorderRopKind::None;
    NoteReference = 1760.0;
    FundamentalTrack = FundamentalTrackRecord{};
    SharedText.clear();
    PeakHoldValues.fill(0);
    LabelFont = LabelFontRecord{};
    Spectrogram = SpectrogramRecord{};
    Hover = HoverRecord{};
    Tuner = TunerRecord{};

    VoicePointerSteers = false;
    WorkArrays = WorkArraysRecord{};
    SpectrumPeak = SpectrumPeakRecord{};
    DisplayLevels.clear();
    PitchHistory.fill(kEmptyPitch);
    WindowTable.cached_length = 0;
    WindowTable.cached_type = kRectangularWindow;
    TickAnalysis.clear();
    LevelMeters = LevelMetersRecord{};
    LoudnessScan = false;
}

}  // namespace dl
