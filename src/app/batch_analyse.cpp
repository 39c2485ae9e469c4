#include "app/batch_analyse.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>

#include "app/batch_many.h"
#include "app/batch_run.h"
#include "app/batch_summary.h"
#include "app/pitch_listing.h"
#include "app/spectrum_csv.h"
#include "app/standard_output.h"
#include "audio/playback.h"
#include "audio/source.h"
#include "audio/timer_tick.h"
#include "display/analysis_settings.h"
#include "display/level_scale.h"
#include "display/source_panel.h"
#include "display/spectrogram.h"
#include "platform/format_text.h"
#include "platform/regular_file.h"
#include "platform/wave_format.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/tick_clock.h"
#include "state/window_dc.h"

namespace dl {

namespace {

bool is_folder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

void AddToMeanPower(const BlockAnalysis& a, AnalysedFile& file, size_t& spectra) {
    if (!a.spectrum || !a.levels || a.n <= 0) return;
    if (a.n != file.n) {  // a spectrum of another size starts the mean again
        file.n = a.n;
        file.mean_power.assign(size_t(a.n / 2), 0.0);
        spectra = 0;
    }
    for (int i = 0; i < a.n / 2; ++i) file.mean_power[size_t(i)] += std::pow(10.0, DepthDecibels(a.levels[i]) / 10);
    ++spectra;
}

bool WriteMeanSpectrum(const std::string& path, const AnalysedFile& file) {
    if (file.mean_power.empty() || file.sample_rate == 0) return BatchFailure(shown_name(path) + ": the file gave no spectrum"), false;
    std::vector<double> frequencies(file.mean_power.size());
    NamedLevels level{"level", std::vector<double>(file.mean_power.size())};
    for (size_t i = 0; i < frequencies.size(); ++i) {
        frequencies[i] = double(i) * file.sample_rate / file.n;
        level.decibels[i] = file.mean_power[i] > 0 ? 10 * std::log10(file.mean_power[i]) : -HUGE_VAL;
    }
    const FileReplace written = replace_regular_file(path, SpectrumCsv(frequencies, {level}), 0644);
    if (written == FileReplace::Written) return true;
    BatchFailure("cannot write " + shown_name(path) + ": " +
                 (written == FileReplace::NotRegular ? "not a regular file" : std::strerror(errno)));
    return false;
}

}  // namespace

std::string DamageText(const StreamDamage& d, uint32_t rate) {
    if (d.skipped_places == 0 && d.skipped_bytes == 0) return {};
    const unsigned long long places = std::max<uint64_t>(d.skipped_places, 1);
    std::string text = d.skipped_bytes > 0 ? format_text("skipped %llu bytes of damaged data in %llu place%s",
                                                         static_cast<unsigned long long>(d.skipped_bytes), places,
                                                         places == 1 ? "" : "s")
                                           : format_text("damaged data in %llu place%s", places, places == 1 ? "" : "s");
    if (!d.places.empty() && rate > 0) {
        text += " (at";
        for (size_t i = 0; i < d.places.size(); ++i)
            text += format_text("%s %.2f s", i ? "," : "", double(d.places[i].frame) / rate);
        if (d.places.size() < d.skipped_places) text += ", ...";
        text += ")";
    }
    if (d.lost_frames > 0 && rate > 0)
        text += format_text("; %.2f s of sound lost there is silence, so that what follows keeps its time",
                            double(d.lost_frames) / rate);
    return text;
}

int AnalyseFile(const BatchOptions& options, const std::string& path,
                const std::function<void(const AnalysedFile&)>& on_rows) {
    BatchRun run;
    if (!run.Prepare(options)) return 1;
    FileName = path;
    ChooseSource(SourceMode::File);
    if (OpenSource() != Result::Done) return 1;
    // A picture of the spectrogram shows the whole sound, unless the span was asked for.
    const bool span_asked = std::any_of(options.sets.begin(), options.sets.end(),
                                        [](const auto& kv) { return kv.first == "spectrogram_span"; });
    if (!options.png.empty() && !span_asked && SourceSeconds() > 0) SpanSpectrogramOverWholeSound(SourceSeconds());
    run.Paint();

    // The rows are handed on once the file has been analysed to its end.
    AnalysedFile file;
    file.seconds = SourceSeconds();
    file.format_tag = SourceInfo.format_tag;
    file.sample_rate = SourceInfo.sample_rate;
    file.channels = rd16(SourceFormat, kFmtChannels);
    // The summary measures the samples as they are decoded, in the same pass; it prints no rows, so
    // the rows' loudness is not measured.
    SoundMeasure sound;
    if (options.summary) {
        sound.start(int(file.channels), file.sample_rate);
        RowLoudness = false;
        RowLabels = false;
    }
    // The pitch listing reads the decoded sound on its own hop, beside the rows.
    std::unique_ptr<PitchListing> listing;
    if (!options.pitch_track.empty()) {
        const AnalysisParams params = AnalysisParamsOfSettings();
        listing = std::make_unique<PitchListing>(double(file.sample_rate), int(file.channels), params.mado,
                                                 params.reference_a4);
    }
    if (options.summary || listing)
        DecodedSoundObserver = [&sound, &listing, summary = options.summary](const float* samples, size_t count) {
            if (summary) sound.add(samples, count);
            if (listing) listing->add(samples, count);
        };
    const bool averaged = !options.reference_out.empty();
    size_t spectra = 0;
    const bool started = AnalyseOpenSource([&file, &options, averaged, &spectra](double seconds, const BlockAnalysis& a) {
        if (averaged) AddToMeanPower(a, file, spectra);
        file.blocks.push_back({seconds, a, SpectrumFields(a, options.spectrum)});
        file.blocks.back().analysis.levels = nullptr;  // the spectrum is the tick's, not the row's
    });
    DecodedSoundObserver = nullptr;
    RowLoudness = true;
    RowLabels = true;
    if (!started) return 1;
    for (double& p : file.mean_power) p /= double(std::max<size_t>(spectra, 1));
    if (options.summary) {
        file.sound = sound.figures();
        file.seconds = file.sound.seconds;
    }

    on_rows(file);
    const std::string shown = shown_name(FileName);
    if (MemoryBufferCut)
        std::fprintf(stderr,
                     "dewlark: %s: memory mode holds the first %.2f s of %.2f s (MemSize=%d); the rest is not "
                     "analysed\n",
                     shown.c_str(), MemoryBufferSeconds, SourceSeconds(), Settings.MemSize);
    if (const std::string damage = DamageText(PlayedStreamDamage, SourceInfo.sample_rate); !damage.empty())
        std::fprintf(stderr, "dewlark: %s: %s\n", shown.c_str(), damage.c_str());
    const bool saved = run.SavePicture(options);
    const bool listed = !listing || WritePitchTrack(options.pitch_track, listing->finish());
    // The rows are what could be analysed; a play that ended before the sound did has said why.
    return saved && listed && !PlayEndedEarly ? 0 : 1;
}

int RunAnalyseCommand(const std::vector<std::string>& raw) {
    std::vector<std::string> args = raw;
    if (!args.empty() && (args[0] == "--analyse" || args[0] == "--analyze")) args.erase(args.begin());
    BatchOptions options;
    std::vector<std::string> allowed = ManyFileOptions();
    allowed.push_back("--reference-out");
    allowed.push_back("--pitch-track");
    if (!ParseBatchOptions(args, allowed, options)) return kUsageStatus;
    if (options.worker) return RunAnalyseWorker(options);
    const bool many = options.many || options.positional.size() > 1 ||
                      (options.positional.size() == 1 && is_folder(options.positional[0]));
    // What cannot act together is refused before any work, rather than left undone without a word.
    if (!options.reference_out.empty() && many)
        return BatchUsageError("dewlark: --reference-out takes one FILE (the spectrum of one sound), not "
                               "several files, a folder or a list");
    if (!options.pitch_track.empty() && many)
        return BatchUsageError("dewlark: --pitch-track takes one FILE (the pitch listing of one sound), not "
                               "several files, a folder or a list");
    if (options.summary && !options.spectrum.empty())
        return BatchUsageError("dewlark: --spectrum adds columns to the block rows; --summary prints none");
    for (const std::string* named : {&options.reference_out, &options.png, &options.pitch_track})
        if (!named->empty() && !WritableName(*named))
            return BatchUsageError("dewlark: cannot write " + shown_name(*named) + ": not a regular file");
    if (!CheckSettingOverrides(options)) return kUsageStatus;
    if (many) return RunManyFiles(options);
    if (options.positional.empty())
        return BatchUsageError("usage: dewlark --analyse FILE [--set KEY=VALUE]... [--spectrum HZ,...] [--png OUT.png]");

    bool reference_written = true;
    const int status = AnalyseFile(options, options.positional[0], [&](const AnalysedFile& file) {
        std::string rows = CsvHeader(options.spectrum) + "\n";
        for (const AnalysedBlock& b : file.blocks) rows += CsvRow(b.seconds, b.analysis, b.spectrum) + "\n";
        WriteOutput(rows);
        FlushOutput();
        if (!options.reference_out.empty()) reference_written = WriteMeanSpectrum(options.reference_out, file);
    });
    return reference_written ? status : 1;
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
