// The pitch on its own 10 ms hop, frame by frame, on sounds whose pitch is known at every sample,
// class by class: raw pitch accuracy (voiced and within 50 cents), gross and octave errors, voicing
// recall and false alarms, the fine error's mean and 95th percentile, jitter on steady notes, the
// latency from an onset to the first right frame the live window could show, and the cost per
// second of sound. Where aubiopitch (yin, yinfft) and Praat are installed, the same figures for them
// on the same sounds, written as 16-bit WAV files. Where FluidSynth and its General MIDI soundfont are
// installed, also notes of fourteen instruments rendered from it, against their pitch measured offline.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/pitch_signals.h"
#include "analysis/pitch_track.h"
#include "bench_registry.h"
#include "pitch_frames.h"
#include "soundfont_notes.h"

namespace {

using namespace pitch_signals;

// One sound: its samples, rate, the pitch at each time (0: none should be heard), whether its
// notes are steady (for the jitter), and the onsets whose latency counts.
struct Sound {
    std::vector<double> x;
    double rate = 44100;
    std::function<double(double)> truth;
    bool steady = false;
    std::vector<double> onsets;
    double note = 0;  // Hz, the note after the onsets
};

struct Tally {
    int truth_voiced = 0, truth_unvoiced = 0;
    int right = 0, voiced_right_frames = 0, recall = 0, false_alarms = 0, gross = 0, octave = 0, both = 0;
    std::vector<double> fine;  // |cents| of the right frames
    std::vector<double> steps; // cents from one right frame to the next, steady notes
    std::vector<double> latency_ms;
    double cpu_ns = 0, seconds = 0;
};

struct Frame {
    double time, f0;  // f0 0: unvoiced
};

void score(const Sound& s, const std::vector<Frame>& frames, double reach_s, Tally& t) {
    double last_cents = NAN;
    for (const Frame& f : frames) {
        const double truth = s.truth(f.time);
        if (truth < 0) continue;  // not scored
        if (truth == 0) {
            ++t.truth_unvoiced;
            if (f.f0 > 0) ++t.false_alarms;
            last_cents = NAN;
            continue;
        }
        ++t.truth_voiced;
        if (f.f0 <= 0) {
            last_cents = NAN;
            continue;
        }
        ++t.recall;
        ++t.both;
        const double c = cents_off(f.f0, truth);
        if (std::fabs(c) < 50) {
            ++t.right;
            t.fine.push_back(std::fabs(c));
            if (s.steady && !std::isnan(last_cents)) t.steps.push_back(c - last_cents);
            last_cents = c;
        } else {
            ++t.gross;
            const double octaves = c / 1200;
            if (std::fabs(octaves - std::round(octaves)) < 50.0 / 1200 && std::round(octaves) != 0) ++t.octave;
            last_cents = NAN;
        }
    }
    // From each onset: the first frame right, with two right after it, as the window could show it
    // (its samples reach half a frame past its time).
    for (double onset : s.onsets) {
        for (size_t i = 0; i + 2 < frames.size(); ++i) {
            if (frames[i].time < onset) continue;
            auto right = [&](size_t k) { return frames[k].f0 > 0 && std::fabs(cents_off(frames[k].f0, s.note)) < 50; };
            if (right(i) && right(i + 1) && right(i + 2)) {
                t.latency_ms.push_back(1000 * (frames[i].time + reach_s - onset));
                break;
            }
        }
    }
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void print(const std::string& who, const std::string& what, const Tally& t) {
    auto pct = [](int a, int b) { return b > 0 ? 100.0 * a / b : NAN; };
    double mean = 0;
    for (double v : t.fine) mean += v / double(t.fine.size());
    double jitter = 0;
    for (double v : t.steps) jitter += v * v / double(t.steps.size());
    std::printf("%-14s %-26s RPA %6.2f%% gross %5.2f%% octave %5.2f%% recall %6.2f%% false %5.2f%% fine %5.2f/%5.2f c",
                who.c_str(), what.c_str(), pct(t.right, t.truth_voiced), pct(t.gross, t.both), pct(t.octave, t.both),
                pct(t.recall, t.truth_voiced), pct(t.false_alarms, t.truth_unvoiced), t.fine.empty() ? NAN : mean,
                percentile(t.fine, 0.95));
    if (!t.steps.empty()) std::printf(" jitter %.3f c", std::sqrt(jitter));
    if (!t.latency_ms.empty()) std::printf(" latency %.0f ms", percentile(t.latency_ms, 0.5));
    if (t.seconds > 0 && t.cpu_ns > 0) std::printf(" cost %.2f ms/s", t.cpu_ns / 1e6 / t.seconds);
    std::printf("\n");
    std::fflush(stdout);
}

std::vector<Frame> own_frames(const Sound& s, Tally& t) {
    const std::vector<float> x = to_floats(s.x);
    const double t0 = dl::bench::thread_cpu_ns();
    dl::PitchTrack track(s.rate, 0, 4400);
    std::vector<dl::PitchFrame> frames;
    track.add(x.data(), x.size(), frames);
    track.finish(frames);
    t.cpu_ns += dl::bench::thread_cpu_ns() - t0;
    t.seconds += double(x.size()) / s.rate;
    std::vector<Frame> out;
    for (const dl::PitchFrame& f : frames) out.push_back({f.time, f.voiced ? f.frequency : 0});
    return out;
}

// The reference trackers, through files.
std::string g_dir;

std::string write_wav(const Sound& s) {
    static int count = 0;
    const std::string path = g_dir + "/s" + std::to_string(count++) + ".wav";
    const std::vector<int16_t> pcm = to_pcm16(s.x);
    std::string data(pcm.size() * 2, '\0');
    for (size_t i = 0; i < pcm.size(); ++i) {
        data[2 * i] = char(pcm[i] & 0xff);
        data[2 * i + 1] = char((pcm[i] >> 8) & 0xff);
    }
    auto le = [](uint32_t v, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xff);
        return out;
    };
    const uint32_t rate = uint32_t(s.rate);
    const std::string fmt = le(1, 2) + le(1, 2) + le(rate, 4) + le(2 * rate, 4) + le(2, 2) + le(16, 2);
    const std::string bytes = "RIFF" + le(uint32_t(4 + 8 + fmt.size() + 8 + data.size()), 4) + "WAVEfmt " +
                              le(uint32_t(fmt.size()), 4) + fmt + "data" + le(uint32_t(data.size()), 4) + data;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

std::vector<Frame> read_pairs(const std::string& command) {
    std::vector<Frame> frames;
    if (FILE* p = popen(command.c_str(), "r")) {
        double time = 0, f0 = 0;
        char line[256];
        while (std::fgets(line, sizeof line, p))
            if (std::sscanf(line, "%lf %lf", &time, &f0) == 2) frames.push_back({time, f0 > 0 ? f0 : 0});
        pclose(p);
    }
    return frames;
}

bool installed(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

std::vector<Frame> aubio_frames(const Sound& s, const std::string& method, const std::string& wav) {
    const int hop = int(std::lround(s.rate * 0.01));
    return read_pairs("aubiopitch -i " + wav + " -p " + method + " -H " + std::to_string(hop) + " -B " +
                      std::to_string(4 * hop) + " -u hertz 2>/dev/null");
}

std::vector<Frame> praat_frames(const std::string& wav) {
    const std::string script = g_dir + "/pitch.praat";
    if (FILE* f = std::fopen(script.c_str(), "w")) {
        std::fputs("form f\n  sentence file\nendform\nsound = Read from file: file$\n"
                   "pitch = To Pitch: 0.01, 27, 4400\nn = Get number of frames\n"
                   "for i to n\n  t = Get time from frame number: i\n  f = Get value in frame: i, \"Hertz\"\n"
                   "  if f = undefined\n    f = 0\n  endif\n  appendInfoLine: fixed$(t, 4), \" \", fixed$(f, 4)\nendfor\n",
                   f);
        std::fclose(f);
    }
    return read_pairs("praat --run " + script + " " + wav + " 2>/dev/null");
}

struct Class {
    std::string name;
    std::vector<Sound> sounds;
    double reach_s = 0;  // how far past a frame's time its samples reach
};

std::vector<Class> classes() {
    std::vector<Class> all;
    const double rate = 44100;
    // A pitch from `from` to `to` s; outside, frames that reach past the sound are not scored.
    auto fixed = [](double f0, double from = 0, double to = 1e9) {
        return [=](double t) { return t >= from && t <= to ? f0 : -1.0; };
    };
    auto none = [](double) { return 0.0; };
    // Steady tones with a weak fundamental, and pure tones, A0 to C8.
    Class steady{"steady harmonic tones", {}}, pure{"pure tones", {}};
    for (int note = -48; note <= 39; note = note == 37 ? 39 : note + 5) {  // A0 .. C8
        const double f0 = note_hz(note);
        // The first and last 50 ms are left out: the frames there reach past the sound.
        steady.sounds.push_back({harmonic_tone(f0, rate, 1.0, 0.3), rate, fixed(f0, 0.05, 0.95), true, {}});
        pure.sounds.push_back({harmonic_tone(f0, rate, 1.0, 1.0, 1), rate, fixed(f0, 0.05, 0.95), true, {}});
    }
    all.push_back(steady);
    all.push_back(pure);
    // Low strings plucked and left to ring 3 s: E1, A1, E2, A2.
    Class plucks{"decaying low strings", {}};
    for (int note : {-41, -36, -29, -24}) {
        double pitch = 0;
        const int delay = int(std::lround(rate / note_hz(note) - 0.5));
        std::vector<double> x = plucked_string(delay, rate, 4.0, &pitch, unsigned(note + 60), 3.0);
        plucks.sounds.push_back({x, rate, fixed(pitch, 0.05, 3.9), true, {}});
    }
    all.push_back(plucks);
    // Glides over two octaves at every rate.
    for (double r : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0}) {
        Class glides{"glide 110-440 Hz " + std::to_string(int(r)), {}};
        const double seconds = 2, f0 = 110, f1 = 440, k = std::log(f1 / f0) / seconds;
        std::vector<double> x(size_t(r * seconds));
        for (int h = 1; h <= 6 && h * f1 < 0.45 * r; ++h) {
            double phase = 0.7 * h * h;
            for (size_t i = 0; i < x.size(); ++i) {
                x[i] += std::sin(phase) / h;
                phase += 2 * kPi * h * f0 * std::exp(k * double(i) / r) / r;
            }
        }
        glides.sounds.push_back(
            {x, r, [=](double t) { return t >= 0.05 && t <= seconds - 0.05 ? f0 * std::exp(k * t) : -1.0; }, false, {}});
        all.push_back(glides);
    }
    // Sung vowels with vibrato of 50 cents at 5.5 Hz, from G2 to G5.
    Class vibrato{"sung vowel, vibrato", {}};
    for (int note = -26; note <= 10; note += 6) {
        const double f0 = note_hz(note), seconds = 1.5;
        vibrato.sounds.push_back(
            {sung_vowel(f0, rate, seconds, 50, 5.5), rate,
             [=](double t) { return t >= 0.05 && t <= seconds - 0.05 ? f0 * std::pow(2.0, 50.0 / 1200 * std::sin(2 * kPi * 5.5 * t)) : -1.0; },
             false, {}});
    }
    all.push_back(vibrato);
    // A vowel in white noise at 20 to 0 dB signal-to-noise ratio (in power over the whole band).
    for (double snr : {20.0, 10.0, 6.0, 3.0, 0.0}) {
        Class noisy{"vowel in noise " + std::to_string(int(snr)) + " dB", {}};
        for (int note : {-21, -9, 3}) {
            const double f0 = note_hz(note);
            const std::vector<double> x = with_noise(sung_vowel(f0, rate, 1.5, 0, 5.5), rate, snr, unsigned(note + 100));
            noisy.sounds.push_back({x, rate, fixed(f0, 0.05, 1.45), true, {}});
        }
        all.push_back(noisy);
    }
    // Notes after silence: the latency from their onsets, E2 to C6.
    Class onsets{"onsets after silence", {}};
    for (int note = -29; note <= 15; note += 4) {
        const double f0 = note_hz(note);
        std::vector<double> x(size_t(0.5 * rate), 0.0);
        const std::vector<double> tone = harmonic_tone(f0, rate, 1.0, 0.5);
        x.insert(x.end(), tone.begin(), tone.end());
        // Frames from 100 ms after the onset are meant to be right; before that they are not scored.
        onsets.sounds.push_back({x, rate, [=](double t) { return t < 0.45 ? 0.0 : t >= 0.6 && t <= 1.45 ? f0 : -1.0; },
                                 false, {0.5}, f0});
    }
    all.push_back(onsets);
    // Silence, noise and chords: nothing should be heard.
    Class quiet{"silence, noise, chords", {}};
    quiet.sounds.push_back({std::vector<double>(size_t(rate), 0.0), rate, none, false, {}});
    quiet.sounds.push_back({white_noise(rate, 2.0), rate, none, false, {}});
    for (int root : {-21, -14, -9}) {
        std::vector<double> x = harmonic_tone(note_hz(root), rate, 1.5, 1.0);
        for (int step : {4, 7}) {
            const std::vector<double> y = harmonic_tone(note_hz(root + step), rate, 1.5, 1.0);
            for (size_t i = 0; i < x.size(); ++i) x[i] += y[i];
        }
        quiet.sounds.push_back({x, rate, none, false, {}});
    }
    all.push_back(quiet);
    return all;
}

// Real instrument notes, a class an instrument and one of them all; none without FluidSynth.
std::vector<Class> soundfont_classes(const std::string& dir) {
    std::vector<Class> all;
    Class every{"soundfont, all notes", {}};
    for (SoundfontNote& n : RenderSoundfontNotes(dir)) {
        const double truth = n.truth;
        Sound s{std::move(n.x), n.rate, [=](double t) { return t >= 0.1 && t <= kScoredUntil ? truth : -1.0; }, false, {}};
        const std::string name = "soundfont " + n.instrument;
        if (all.empty() || all.back().name != name) all.push_back({name, {}});
        all.back().sounds.push_back(s);
        every.sounds.push_back(std::move(s));
    }
    if (!every.sounds.empty()) all.push_back(std::move(every));
    return all;
}

}  // namespace

void run_pitch_frame_classes() {
    char pattern[] = "/tmp/dewlark-pitch-XXXXXX";
    const char* dir = mkdtemp(pattern);
    g_dir = dir ? dir : "/tmp";
    const bool aubio = installed("aubiopitch"), praat = installed("praat");
    std::printf("pitch frames, 10 ms hop (RPA: voiced and within 50 cents of the truth; fine: mean/95th |cents|)\n");
    std::vector<Class> all = classes();
    for (Class& c : soundfont_classes(g_dir)) all.push_back(std::move(c));
    for (Class& c : all) {
        Tally own, yin, yinfft, pr;
        dl::PitchTrack probe(c.sounds.front().rate, 0, 4400);
        const double reach = 0.5 * probe.frame_length() / c.sounds.front().rate;
        for (const Sound& s : c.sounds) {
            const std::vector<Frame> frames = own_frames(s, own);
            score(s, frames, reach, own);
            if (std::getenv("DEWLARK_BENCH_DETAIL")) {
                Tally one;
                score(s, frames, reach, one);
                print("  one sound", c.name + " " + std::to_string(int(s.truth(0.5))) + " Hz", one);
            }
            if ((!aubio && !praat) || std::getenv("DEWLARK_BENCH_OWN")) continue;
            const std::string wav = write_wav(s);
            if (aubio) {
                score(s, aubio_frames(s, "yin", wav), 0.02, yin);
                score(s, aubio_frames(s, "yinfft", wav), 0.02, yinfft);
            }
            if (praat) score(s, praat_frames(wav), 0.02, pr);
        }
        print("dewlark", c.name, own);
        if (aubio) {
            print("aubio yin", c.name, yin);
            print("aubio yinfft", c.name, yinfft);
        }
        if (praat) print("praat", c.name, pr);
    }
    std::system(("rm -rf " + g_dir).c_str());
}

namespace {
const dl::bench::Registration registration("pitch-frames", run_pitch_frame_classes);
}  // namespace
