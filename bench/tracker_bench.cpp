// The fundamental-frequency tracker on a larger set than the suite's: every semitone from E2 to C6,
// harmonic tones with a weak and with a missing fundamental, plucked strings and sung vowels with
// 6 Hz vibrato of 30 cents, at every rate the program meets, in blocks as playback hands them over at
// the default settings; then white noise. Counts the blocks voiced, the octave and fifth errors among
// them, and how far the steady ones are off; and the tracker's time a block.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "analysis/f0_tracker.h"
#include "analysis/pipeline.h"
#include "analysis/pitch.h"
#include "bench_registry.h"
#include "pitch_frames.h"
#include "display/analysis_settings.h"
#include "analysis/pitch_signals.h"
#include "state/analysis.h"
#include "state/reset.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"

namespace {

using namespace pitch_signals;

// Processor time of this thread: the machine may be shared, and the target is one core's worth.
const auto cpu_ns = dl::bench::thread_cpu_ns;

struct Tally {
    int blocks = 0, voiced = 0, gross = 0;
    std::vector<double> off;  // |cents| of the voiced blocks of steady sounds
};

// Blocks of one sound as the playback tick analyses them; truth(i) is the pitch at sample i.
template <class Truth>
void run(const std::vector<int16_t>& pcm, double rate, Truth truth, bool steady, Tally& t, double& tracker_ns,
         int& tracked) {
    dl::SourceInfo.sample_rate = uint32_t(rate);
    const bool eleven = uint32_t(rate) % 11025 == 0;
    const size_t slice = size_t(dl::Settings.deltatime * rate / (eleven ? 11025 : 8000));
    dl::ResetPitchHistory(dl::RunAnalyser);
    std::vector<uint8_t> bytes(slice * 2);
    for (size_t start = 0; start + slice <= pcm.size(); start += slice) {
        for (size_t i = 0; i < slice; ++i) {
            bytes[2 * i] = uint8_t(pcm[start + i] & 0xff);
            bytes[2 * i + 1] = uint8_t((pcm[start + i] >> 8) & 0xff);
        }
        dl::SampleBuffers[0] = bytes.data();
        dl::BlockAnalysis a;
        a = dl::MeasureWithSettings(dl::RunAnalyser, {bytes.data(), uint32_t(bytes.size())});
        // The tracker once more on the same spectrum, timed alone (it keeps its note: same answer).
        dl::FundamentalTrackRecord& track = dl::RunAnalyser.fundamental;
        const bool kept_voiced = track.voiced;
        const double kept_frequency = track.frequency;
        dl::ResetFundamentalTrack(track);
        const double t0 = cpu_ns();
        dl::BlockAnalysis again;
        dl::TrackFundamental(track, dl::RunAnalyser.precise,
                             {bytes.data(), int(slice), true, rate, dl::RunAnalyser.work.re, dl::RunAnalyser.work.im,
                              dl::RunAnalyser.work.n, dl::Settings.mado},
                             again);
        tracker_ns += cpu_ns() - t0;
        ++tracked;
        track.voiced = kept_voiced;
        track.frequency = kept_frequency;
        dl::SampleBuffers[0] = nullptr;
        ++t.blocks;
        if (!a.f0_voiced) continue;
        ++t.voiced;
        const double f = truth(start + std::min<size_t>(slice, 4096) / 2);
        if (octave_or_fifth_error(a.f0_frequency, f)) ++t.gross;
        if (steady) t.off.push_back(std::fabs(cents_off(a.f0_frequency, f)));
    }
}

void print(const char* what, Tally& t) {
    std::sort(t.off.begin(), t.off.end());
    const double median = t.off.empty() ? 0 : t.off[t.off.size() / 2];
    const double p99 = t.off.empty() ? 0 : t.off[std::min(t.off.size() - 1, t.off.size() * 99 / 100)];
    std::printf("tracker: %-22s blocks %5d voiced %5.1f%% octave/fifth errors %5.2f%%", what, t.blocks,
                100.0 * t.voiced / std::max(t.blocks, 1), 100.0 * t.gross / std::max(t.voiced, 1));
    if (!t.off.empty()) std::printf("  |cents| median %.3f p99 %.3f", median, p99);
    std::printf("\n");
    std::fflush(stdout);
}

void run_tracker() {
    dl::ResetProcessState();
    dl::Settings = dl::SettingsRecord{};
    dl::Settings.tuner = 1;
    dl::SourceInfo.format_tag = 1;
    dl::SourceInfo.ChannelLayout = 1;
    dl::SourceInfo.bits = 16;
    dl::BlockBytes = 1u << 20;
    std::vector<double> re(4096), im(4096);
    dl::RunAnalyser.work.re = re.data();
    dl::RunAnalyser.work.im = im.data();
    dl::RunAnalyser.work.n = 4096;
    double tracker_ns = 0;
    int tracked = 0;
    Tally weak, missing, plucked, sung, noise;
    for (double rate : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0}) {
        for (int note = -29; note <= 15; ++note) {  // E2 .. C6
            const double f0 = note_hz(note);
            auto fixed = [f0](size_t) { return f0; };
            run(to_pcm16(harmonic_tone(f0, rate, 1.0, 0.1)), rate, fixed, true, weak, tracker_ns, tracked);
            run(to_pcm16(harmonic_tone(f0, rate, 1.0, 0.0)), rate, fixed, true, missing, tracker_ns, tracked);
            const int delay = int(std::lround(rate / f0 - 0.5));
            double string = 0;
            const std::vector<int16_t> pluck = to_pcm16(plucked_string(delay, rate, 1.0, &string, unsigned(note + 40)));
            run(pluck, rate, [string](size_t) { return string; }, true, plucked, tracker_ns, tracked);
            std::vector<double> pitch;
            const std::vector<int16_t> vowel = to_pcm16(sung_vowel(f0, rate, 1.5, 30, 6, &pitch));
            run(vowel, rate, [f0](size_t) { return f0; }, false, sung, tracker_ns, tracked);
        }
        run(to_pcm16(white_noise(rate, 10.0, unsigned(rate))), rate, [](size_t) { return 1.0; }, false, noise,
            tracker_ns, tracked);
    }
    print("weak fundamental", weak);
    print("missing fundamental", missing);
    print("plucked string", plucked);
    print("sung vowel, vibrato", sung);
    std::printf("tracker: %-22s blocks %5d voiced %5.1f%%\n", "white noise", noise.blocks,
                100.0 * noise.voiced / std::max(noise.blocks, 1));
    std::printf("tracker: time per block (all rates, 4096-point spectrum) %.1f us\n", tracker_ns / tracked / 1000);
    dl::ResetProcessState();
    run_pitch_frame_classes();
}

const dl::bench::Registration registration("tracker", run_tracker);

}  // namespace
