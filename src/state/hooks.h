#pragma once
// The hooks: what a lower layer calls that the layer above puts in place (or a test does), and the
// switches the kind of run sets.
// Written by: app (the window's start-up and the batch commands)
// Read by: audio (the devices, the completions, the run's events, the transform's memory report),
// display (drawing, the analysis' parameters: the observer, whether the voice may steer the pointer)
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/block_view.h"
#include "platform/wave_in.h"
#include "platform/wave_out.h"

namespace dl {

struct BlockAnalysis;
class Dc;

// What a run tells the window as it goes; the window shows it (its controls, the hourglass, memory
// mode's status). Each comes at the point of the run where the window must show it.
enum class RunEvent {
    ReadingFile,       // memory mode reads the whole file before the play starts
    AllocatingMemory,  // memory mode takes the monitor's one buffer
    Taken,             // the run has its device: nothing starts another run or opens a file now
    Filling,           // a large buffer fills, and the event loop waits for it
    Filled,
    Running,   // the run can be stopped
    Stopping,  // Stop was pressed: the monitor ends once its buffers are back
    Ended,     // the run is over (a start that failed once it had been Taken too)
    Closed,    // the run ended with its source or the window, which keep their controls as they are
};

struct HooksRecord {
    // Batch analysis: a device without sound that takes each buffer at once, completions go to the
    // sink instead of the window, and every analysed block is handed over with its start (seconds
    // from the start of the source) once it has been drawn.
    bool UseInstantDevice = false;
    std::function<void(int header)> WaveOutDoneSink;
    std::function<void(double seconds, const BlockAnalysis& analysis)> AnalysisObserver;
    // Each picture timer 2 draws (the analysis observer hears the buffers' blocks only).
    std::function<void(double seconds, const BlockAnalysis& analysis)> PictureObserver;
    // Batch mode's view of the sound itself, at the width the file holds it: every sample as it is
    // decoded into the play's buffers, interleaved, as a fraction of full scale (floats may pass 1).
    std::function<void(const float* samples, size_t count)> DecodedSoundObserver;
    // The same of the input a monitor captures, with the time its sound began (the gaps counted).
    std::function<void(double seconds, const float* samples, size_t count)> InputSoundObserver;
    // The batch rows' momentary and short-term loudness; a summary run prints no rows, and measures
    // the loudness of the whole sound with a meter of its own.
    bool RowLoudness = true;
    // The batch rows' labelled peaks; a summary run prints no rows, and reads only the peak the A4
    // read-out follows.
    bool RowLabels = true;
    // How a measured block is shown, put in place by the program: the window's run and a batch run
    // that keeps a picture. Without it the blocks are measured and nothing is drawn, the position
    // neither: nobody would see them.
    std::function<void(Dc& dc, const BlockAnalysis& analysis, AnalysisPurpose purpose)> PresentAnalysedBlock;
    // The run's events (RunEvent); none outside the window.
    std::function<void(RunEvent)> RunObserver;
    // Whether the Shift key is held as Start is pressed (replaceable for tests).
    std::function<bool()> ShiftHeldAtStart;
    // Tests: opens the input device in place of the sound system's (a device the test fills itself).
    std::function<int(const std::vector<uint8_t>& format, WaveIn::Data data, std::unique_ptr<WaveIn>& out)>
        OpenTestWaveIn;
    // Tests: opens the output device in place of the sound system's (a device that hears as far as
    // the test's own clock has gone).
    std::function<int(const std::vector<uint8_t>& format, WaveOut::Done done, std::unique_ptr<WaveOut>& out)>
        OpenTestWaveOut;
    // Where the transform reports that its tables could not be allocated ("nomem %d" or its Japanese
    // form). The application points it at the main window's top-left corner.
    std::function<void(const std::string&)> FftNoMemoryReport = [](const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
    };
    // Where a gap in the monitored input is said as it is found, with what is said of it (the window
    // also shows it in the source panel).
    std::function<void(const CaptureGap&, const std::string&)> InputGapReport = [](const CaptureGap&,
                                                                                    const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
    };
    // Whether the voice may move the desktop's pointer. Only the window's run turns it on: a batch
    // run's desktop is not its own to steer.
    bool VoicePointerSteers = false;
    // A loudness run (--loudness): the blocks are metered for the loudness of the whole sound and
    // nothing else is analysed.
    bool LoudnessScan = false;
};
inline HooksRecord Hooks;

// The names the program uses for the record's fields.
inline auto& UseInstantDevice = Hooks.UseInstantDevice;
inline auto& WaveOutDoneSink = Hooks.WaveOutDoneSink;
inline auto& AnalysisObserver = Hooks.AnalysisObserver;
inline auto& PictureObserver = Hooks.PictureObserver;
inline auto& DecodedSoundObserver = Hooks.DecodedSoundObserver;
inline auto& InputSoundObserver = Hooks.InputSoundObserver;
inline auto& RowLoudness = Hooks.RowLoudness;
inline auto& RowLabels = Hooks.RowLabels;
inline auto& PresentAnalysedBlock = Hooks.PresentAnalysedBlock;
inline auto& RunObserver = Hooks.RunObserver;
inline auto& ShiftHeldAtStart = Hooks.ShiftHeldAtStart;
inline auto& OpenTestWaveIn = Hooks.OpenTestWaveIn;
inline auto& OpenTestWaveOut = Hooks.OpenTestWaveOut;
inline auto& FftNoMemoryReport = Hooks.FftNoMemoryReport;
inline auto& InputGapReport = Hooks.InputGapReport;
inline auto& VoicePointerSteers = Hooks.VoicePointerSteers;
inline auto& LoudnessScan = Hooks.LoudnessScan;

}  // namespace dl
