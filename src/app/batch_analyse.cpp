#include "app/batch_analyse.h"

#include <algorithm>
#include <cstdio>
#include <deque>

#include "app/batch_run.h"
#include "audio/playback.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "display/source_panel.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/window_dc.h"

namespace dl {

int RunAnalyseCommand(const std::vector<std::string>& raw) {
    std::vector<std::string> args = raw;
    if (!args.empty() && (args[0] == "--analyse" || args[0] == "--analyze")) args.erase(args.begin());
    BatchOptions options;
    if (!ParseBatchOptions(args, {}, options)) return 1;
    if (options.positional.size() > 1) return BatchFailure("unexpected argument: " + options.positional[1]);
    if (options.positional.empty())
        return BatchFailure("usage: dewlark --analyse FILE [--set KEY=VALUE]... [--png OUT.png]");

    BatchRun run;
    if (!run.Prepare(options)) return 1;
    FileName = options.positional[0];
    SourceState = {SourceMode::File, false};
    if (OpenSource() != Result::Done) return 1;
    run.Paint();

    // The rows are printed once the file has been analysed to its end.
    struct Row {
        double seconds;
        BlockAnalysis analysis;
    };
    std::vector<Row> rows;
    if (!AnalyseOpenSource([&rows](double seconds, const BlockAnalysis& a) { rows.push_back({seconds, a}); }))
        return 1;

    PrintCsvHeader();
    for (const Row& r : rows) PrintCsvRow(r.seconds, r.analysis);
    std::fflush(stdout);
    if (MemoryBufferCut)
        std::fprintf(stderr,
                     "dewlark: %s: memory mode holds the first %.2f s of %.2f s (MemSize=%d); the rest is not "
                     "analysed\n",
                     FileName.c_str(), MemoryBufferSeconds, SourceSeconds(), Settings.MemSize);
    if (const StreamDamage& d = PlayedStreamDamage; d.skipped_bytes > 0)
        std::fprintf(stderr, "dewlark: %s: skipped %llu bytes of damaged data in %llu place%s\n", FileName.c_str(),
                     static_cast<unsigned long long>(d.skipped_bytes), static_cast<unsigned long long>(d.skipped_places),
                     d.skipped_places == 1 ? "" : "s");
    const bool saved = run.SavePicture(options);
    // The rows are what could be analysed; a play that ended before the sound did has said why.
    return saved && !PlayEndedEarly ? 0 : 1;
}

bool AnalyseOpenSource(const std::function<void(double, const BlockAnalysis&)>& observer, size_t most_buffers) {
    std::deque<int> completions;
    UseInstantDevice = true;
    WaveOutDoneSink = [&completions](int h) { completions.push_back(h); };
    ShiftHeldAtStart = [] { return true; };  // no pacing: as fast as the machine allows
    AnalysisObserver = observer;

    const bool started = StartPlayback() == Result::Done;

    // Memory mode: the timer ticks on a clock of its own until the buffer has been heard.
    const double heard_ms =
        SourceInfo.output_bytes_per_second ? BufferBytes[0] * 1000.0 / SourceInfo.output_bytes_per_second : 0.0;
    uint32_t now = StartTime;
    const uint32_t period = std::max<uint32_t>(TimerPeriod, 1);
    size_t heard = 0;
    while (SourceState.running && !completions.empty()) {
        if (BufferCount == 1 && (now - StartTime) * RateFactor < heard_ms) {
            now += period;
            RunTimerTick(now);
            continue;
        }
        if (most_buffers && heard++ == most_buffers) {
            StopPlayback();
            break;
        }
        const int h = completions.front();
        completions.pop_front();
        PlaybackTick(h);
    }
    // The device's completions go to the queue on this stack: it closes before the queue goes.
    if (SourceState.running) StopPlayback();
    AnalysisObserver = nullptr;
    WaveOutDoneSink = nullptr;
    ShiftHeldAtStart = nullptr;
    return started;
}

}  // namespace dl
