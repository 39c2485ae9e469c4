#include "app/batch_monitor.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <limits>
#include <memory>

#include "app/batch_run.h"
#include "app/pitch_listing.h"
#include "app/standard_output.h"
#include "audio/record_port.h"
#include "audio/run.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "platform/audio_system.h"
#include "platform/system.h"
#include "platform/ui_post.h"
#include "display/analysis_settings.h"
#include "platform/format_text.h"
#include "platform/wave_format.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/window_dc.h"

namespace dl {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void on_interrupt(int) { g_interrupted = 1; }

// SIGINT and SIGTERM end the monitor cleanly while it runs; the previous handlers come back after.
struct InterruptScope {
    using Handler = void (*)(int);
    Handler old_int, old_term;
    InterruptScope() {
        g_interrupted = 0;
        old_int = std::signal(SIGINT, on_interrupt);
        old_term = std::signal(SIGTERM, on_interrupt);
    }
    ~InterruptScope() {
        std::signal(SIGINT, old_int);
        std::signal(SIGTERM, old_term);
    }
};

}  // namespace

int RunMonitorCommand(const std::vector<std::string>& raw) {
    std::vector<std::string> args = raw;
    if (!args.empty() && args[0] == "--monitor") args.erase(args.begin());
    BatchOptions options;
    if (!ParseBatchOptions(args, {"--device", "--seconds", "--pitch-track"}, options)) return kUsageStatus;
    if (!options.positional.empty()) return BatchUsageError("unexpected argument: " + options.positional[0]);
    for (const std::string* named : {&options.png, &options.pitch_track})
        if (!named->empty() && !WritableName(*named))
            return BatchUsageError("dewlark: cannot write " + shown_name(*named) + ": not a regular file");
    if (!CheckSettingOverrides(options)) return kUsageStatus;

    BatchRun run;
    if (!run.Prepare(options)) return 1;
    if (wave_in_device_count() == 0) return BatchFailure("no input device");
    if (!options.device.empty()) {
        const std::vector<std::string> names = audio_device_names(true);
        if (std::find(names.begin(), names.end(), options.device) == names.end())
            return BatchFailure("no input device named \"" + options.device + "\" (see --list-devices)");
        Settings.InputDevice = options.device;
    }
    ChooseSource(SourceMode::RecordPort);
    if (OpenRecordPort() != Result::Done) return 1;
    run.Paint();

    // --seconds counts the sound itself: a device slow to start, or a gap, makes the run longer, not
    // the rows fewer. Each row is of a block whose sound begins before that much sound has come.
    const uint64_t limit = options.seconds >= 0
                               ? uint64_t(std::ceil(options.seconds * SourceInfo.output_bytes_per_second))
                               : std::numeric_limits<uint64_t>::max();
    PrintCsvHeader(options.spectrum);
    AnalysisObserver = [&options, limit](double seconds, const BlockAnalysis& a) {
        if (InputBlockOffset >= limit) return;
        PrintCsvRow(seconds, a, SpectrumFields(a, options.spectrum));
        FlushOutput();
    };
    // Gaps beyond the sound the rows cover are none of the run's.
    InputGapReport = [limit](const CaptureGap& gap, const std::string& text) {
        if (gap.at < limit) std::fprintf(stderr, "%s\n", text.c_str());
    };
    // The pitch listing reads the captured sound on its own hop, beside the rows.
    std::unique_ptr<PitchListing> listing;
    if (!options.pitch_track.empty()) {
        const AnalysisParams params = AnalysisParamsOfSettings();
        listing = std::make_unique<PitchListing>(double(SourceInfo.sample_rate), int(rd16(SourceFormat, kFmtChannels)),
                                                 params.mado, params.reference_a4);
        InputSoundObserver = [&listing](double seconds, const float* samples, size_t count) {
            listing->add_at(seconds, samples, count);
        };
    }
    struct ObserverScope {
        ~ObserverScope() { InputSoundObserver = nullptr; }
    } observer_scope;
    InterruptScope interrupts;
    if (StartMonitoring() != Result::Done) return 1;

    const bool memory = BufferCount == 1;
    uint32_t last_tick = time_get_time();
    auto time_up = [&] {
        const uint64_t heard = memory ? uint64_t(std::max<int32_t>(LastAnalysedEnd, 0)) : RecordedInputBytes;
        return heard >= limit;
    };
    // A reader that went away (a pipe into `head`), or an output that cannot be written, ends it too.
    while (SourceState.running && !g_interrupted && !time_up() && !OutputFailed()) {
        run_ui_events_for(10);
        // Memory mode: timer 1 of the window, on the clock here.
        const uint32_t now = time_get_time();
        if (memory && SourceState.running && now - last_tick >= std::max<uint32_t>(TimerPeriod, 1)) {
            last_tick = now;
            RunTimerTick(now);
        }
    }
    const bool lost = DeviceLost;
    if (SourceState.running) {
        StopMonitoring();
        // The first buffer back ends it; a device that returns none is closed all the same.
        for (int waited = 0; SourceState.running && waited < 2000; waited += 10) run_ui_events_for(10);
        if (SourceState.running) EndRun(false);
    }
    FlushOutput();
    // Each gap was said as it was found; their sum closes the run.
    size_t gaps = 0;
    uint64_t missing = 0;
    for (const CaptureGap& g : InputGaps)
        if (g.at < limit) ++gaps, missing += g.bytes;
    if (gaps > 0 && SourceInfo.output_bytes_per_second)
        std::fprintf(stderr, "input: %zu gaps, %.3f s of sound missing in all\n", gaps,
                     double(missing) / SourceInfo.output_bytes_per_second);
    InputSoundObserver = nullptr;
    if (listing) {
        listing->finish();
        std::vector<PitchFrame> frames = listing->frames();
        // The frames of the sound --seconds asked for.
        if (options.seconds >= 0)
            frames.erase(std::remove_if(frames.begin(), frames.end(),
                                        [&](const PitchFrame& f) { return f.time >= options.seconds; }),
                         frames.end());
        if (!WritePitchTrack(options.pitch_track, PitchTrackCsv(frames))) return 1;
    }
    if (!run.SavePicture(options)) return 1;
    return lost ? 1 : 0;
}

int RunListDevicesCommand() {
    for (const std::string& n : audio_device_names(false)) WriteOutput("out: " + n + "\n");
    for (const std::string& n : audio_device_names(true)) WriteOutput("in: " + n + "\n");
    FlushOutput();
    return 0;
}

}  // namespace dl
