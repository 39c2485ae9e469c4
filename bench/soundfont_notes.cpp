#include "soundfont_notes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "analysis/fft.h"

namespace {

constexpr const char* kSoundfont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

struct Instrument {
    const char* name;
    int program;  // General MIDI, from 0
    std::vector<int> notes;
};

const std::vector<Instrument>& instruments() {
    static const std::vector<Instrument> all = {
        {"piano", 0, {21, 33, 45, 60, 69, 84, 93}},    {"nylon guitar", 24, {40, 45, 52, 64}},
        {"steel guitar", 25, {40, 45, 52, 64}},        {"acoustic bass", 32, {28, 33, 40, 45}},
        {"violin", 40, {55, 62, 69, 76, 81}},          {"cello", 42, {36, 43, 50, 57}},
        {"choir", 52, {48, 55, 60, 67}},               {"trumpet", 56, {52, 60, 67, 72}},
        {"alto sax", 65, {50, 57, 62, 69}},            {"oboe", 68, {60, 67, 74}},
        {"bassoon", 70, {34, 41, 46, 58}},             {"clarinet", 71, {52, 60, 67, 72}},
        {"flute", 73, {60, 67, 72, 79, 84}},           {"organ", 19, {36, 48, 60, 72}},
    };
    return all;
}

std::string be(uint32_t v, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += char((v >> (8 * i)) & 0xff);
    return out;
}

// A one-note MIDI file: the program, the note on at velocity 100 for kNoteSeconds at 120 beats a minute.
std::string midi_of(int program, int note) {
    const int ticks = int(kNoteSeconds * 960);  // 480 ticks a beat, two beats a second
    std::string track;
    track += '\0';
    track += char(0xC0);
    track += char(program);
    track += '\0';
    track += char(0x90);
    track += char(note);
    track += char(100);
    // The delta time as a variable-length number.
    std::string delta;
    for (int v = ticks, first = 1; v > 0 || first; v >>= 7, first = 0) delta.insert(delta.begin(), char((v & 0x7f) | (first ? 0 : 0x80)));
    track += delta;
    track += char(0x80);
    track += char(note);
    track += '\0';
    track += std::string("\0\xff\x2f\0", 4);
    return "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(480, 2) + "MTrk" + be(uint32_t(track.size()), 4) + track;
}

// The mono mix of a 16-bit PCM WAV file; empty when it is not one.
std::vector<double> read_wav16(const std::string& path, double& rate) {
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u = [&](size_t at, int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= uint32_t(uint8_t(b[at + size_t(i)])) << (8 * i);
        return v;
    };
    std::vector<double> x;
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return x;
    int channels = 0, bits = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id = b.substr(at, 4);
        const size_t size = u(at + 4, 4), body = at + 8;
        if (body + size > b.size()) break;
        if (id == "fmt " && size >= 16) {
            channels = int(u(body + 2, 2));
            rate = u(body + 4, 4);
            bits = int(u(body + 14, 2));
        } else if (id == "data" && bits == 16 && channels > 0) {
            const size_t frames = size / (2 * size_t(channels));
            x.resize(frames);
            for (size_t i = 0; i < frames; ++i) {
                double sum = 0;
                for (int c = 0; c < channels; ++c) sum += int16_t(u(body + 2 * (i * size_t(channels) + size_t(c)), 2));
                x[i] = sum / channels / 32768.0;
            }
        }
        at = body + size + (size & 1);
    }
    return x;
}

// Partial 1 of the note over its steady part: the strongest of its first four harmonics near the
// note's nominal frequency, read from a long zero-padded transform with a parabola through the log
// magnitudes, divided by its number; partial 1 itself where it stands within 40 dB of that one.
double measure_truth(const std::vector<double>& x, double rate, double nominal) {
    const size_t from = size_t(0.3 * rate), to = std::min(x.size(), size_t(kScoredUntil * rate));
    if (to <= from + 1024) return 0;
    const int p = 20;
    const int n = dl::pow2(p);
    std::vector<double> re(size_t(n), 0.0), im(size_t(n), 0.0);
    const size_t m = to - from;
    for (size_t i = 0; i < m; ++i) re[i] = x[from + i] * (0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(m - 1)));
    dl::fft_direct(re.data(), im.data(), p, -1);
    auto mag = [&](long k) { return std::log(re[size_t(k)] * re[size_t(k)] + im[size_t(k)] * im[size_t(k)] + 1e-300); };
    struct Peak {
        double hz, level;
    };
    auto peak_near = [&](double hz) {
        const long lo = long(hz * 0.97 * n / rate), hi = std::min(long(hz * 1.03 * n / rate), long(n / 2 - 2));
        long best = lo;
        for (long k = lo; k <= hi; ++k)
            if (mag(k) > mag(best)) best = k;
        const double a = mag(best - 1), b = mag(best), c = mag(best + 1), bend = a - 2 * b + c;
        const double shift = bend < 0 ? std::clamp(0.5 * (a - c) / bend, -0.5, 0.5) : 0.0;
        return Peak{(double(best) + shift) * rate / n, b};
    };
    Peak strongest{0, -1e300};
    int h_strongest = 1;
    for (int h = 1; h <= 4 && h * nominal < 0.45 * rate; ++h) {
        const Peak pk = peak_near(h * nominal);
        if (pk.level > strongest.level) strongest = pk, h_strongest = h;
    }
    const Peak first = peak_near(nominal);
    if (first.level > strongest.level - std::log(1e4)) return first.hz;
    return strongest.hz / h_strongest;
}

}  // namespace

std::vector<SoundfontNote> RenderSoundfontNotes(const std::string& dir) {
    std::vector<SoundfontNote> notes;
    if (std::system("command -v fluidsynth >/dev/null 2>&1") != 0 || !std::ifstream(kSoundfont)) return notes;
    for (const Instrument& instrument : instruments()) {
        for (int note : instrument.notes) {
            const std::string base = dir + "/sf_" + std::to_string(instrument.program) + "_" + std::to_string(note);
            std::ofstream(base + ".mid", std::ios::binary) << midi_of(instrument.program, note);
            const std::string render = "fluidsynth -ni -g 1.0 -r 44100 -F " + base + ".wav " + kSoundfont + " " + base +
                                       ".mid >/dev/null 2>&1";
            if (std::system(render.c_str()) != 0) continue;
            SoundfontNote s;
            s.instrument = instrument.name;
            s.midi_note = note;
            s.x = read_wav16(base + ".wav", s.rate);
            const double nominal = 440 * std::pow(2.0, (note - 69) / 12.0);
            s.truth = measure_truth(s.x, s.rate, nominal);
            if (s.x.empty() || !(s.truth > 0)) continue;
            notes.push_back(std::move(s));
        }
    }
    return notes;
}
