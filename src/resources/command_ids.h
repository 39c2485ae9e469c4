#pragma once
#include "analysis/analysis_params.h"

namespace dl {

// Command identifiers of the menu and the buttons. The View and graph ids double as the stored
// values of `display` and `graph`.
enum Command : int {
    kCmdMonitor = 101,
    kCmdOpen = 102,
    kCmdSavePicture = 103,
    kCmdExit = 104,
    kCmdAbout = 105,
    kCmdHelp = 106,
    // The loudness of the meter strip starts again (also Ctrl+L and a click on the strip).
    kCmdResetLoudness = 107,
    // Whether the voice steers the pointer: a check item, off until chosen.
    kCmdVoicePointer = 108,
    kCmdLinear = 109,
    kCmdLog = 110,
    kCmdTuning = 111,
    kCmdSpectrogram = 112,
    kCmdTuner = 113,  // the tuner read-out over the graph, on or off
    kCmdPinkFlat = 114,
    kCmdExpand = 115,
    kCmdLineGraph = 116,
    kCmdBarGraph = 117,
    kCmdFatLine = 118,
    kCmdDecibel = 119,
    kCmdVoiceRange = 120,
    kCmdStart = 121,
    kCmdStop = 122,
    kCmdBeep = 123,
    kCmdOption = 124,
    // The submenus; outside the command range, their choices come as submenu choices.
    kCmdInputDevice = 130,
    kCmdOutputDevice = 131,
    // The recent files, most recent first; a choice opens its file.
    kCmdRecentFiles = 132,
    // The meter strip: whether it is shown (with the loudness or not), how its bars move, the
    // loudness target.
    kCmdLevelMeter = 133,
    kCmdBallistics = 134,
    kCmdLoudnessTarget = 135,
    // The seconds across the spectrogram's width.
    kCmdSpectrogramSpan = 136,
    // Pictures a second while a file plays.
    kCmdUpdateRate = 137,
    // The partial of the note the tuner reads.
    kCmdTunerPartial = 138,
    // The measuring controls (View › Measure).
    kCmdMeasure = 140,
    // What the window shows, as data: exports, Copy, and the reference spectra.
    kCmdExportSpectrum = 150,
    kCmdExportPeaks = 151,
    kCmdExportLog = 152,
    kCmdCopyReadouts = 153,
    kCmdHoldReference = 154,
    kCmdClearReferences = 155,
    kCmdSaveReferences = 156,
    kCmdLoadReference = 157,
    // The graphs' frequency and level range.
    kCmdRange = 160,
    kCmdWholeRange = 161,
};

// The three push buttons carry the ids of the commands they give.
inline constexpr int kPlayButton = kCmdStart, kStopButton = kCmdStop, kBeepButton = kCmdBeep;

// Stored values of `display` are the View items' ids.
static_assert(kViewLinear == kCmdLinear && kViewLog == kCmdLog && kViewTuning == kCmdTuning &&
              kViewSpectrogram == kCmdSpectrogram);
// Stored values of `graph`.
inline constexpr int kGraphLine = kCmdLineGraph, kGraphBar = kCmdBarGraph;

}  // namespace dl
