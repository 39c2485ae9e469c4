#pragma once
// Sounds whose pitch is known, as 16-bit samples: harmonic tones with a weak or missing
// fundamental, plucked strings, sung vowels with vibrato, scales, noise. The tracker's tests and
// its bench both use them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace pitch_signals {

constexpr double kPi = std::numbers::pi;

// A note's frequency: semitones from A4 at 440 Hz.
inline double note_hz(int semitones_from_a4) { return 440.0 * std::pow(2.0, semitones_from_a4 / 12.0); }

// Samples as 16-bit, scaled so the loudest is `peak` of full scale.
inline std::vector<int16_t> to_pcm16(const std::vector<double>& x, double peak = 0.5) {
    double most = 0;
    for (double v : x) most = std::max(most, std::fabs(v));
    std::vector<int16_t> out(x.size());
    const double k = most > 0 ? peak * 32767 / most : 0;
    for (size_t i = 0; i < x.size(); ++i) out[i] = int16_t(std::lround(x[i] * k));
    return out;
}

// Samples as floats (fractions of full scale), scaled so the loudest is `peak`.
inline std::vector<float> to_floats(const std::vector<double>& x, double peak = 0.5) {
    double most = 0;
    for (double v : x) most = std::max(most, std::fabs(v));
    std::vector<float> out(x.size());
    for (size_t i = 0; i < x.size(); ++i) out[i] = float(most > 0 ? peak * x[i] / most : 0);
    return out;
}

// Harmonics 1..count of f0 with amplitude 1/h, the fundamental scaled by `fundamental` (0: missing),
// the phases spread so the wave is not one spike a period.
inline std::vector<double> harmonic_tone(double f0, double rate, double seconds, double fundamental, int count = 10) {
    std::vector<double> x(size_t(rate * seconds));
    for (int h = 1; h <= count && h * f0 < 0.45 * rate; ++h) {
        const double a = (h == 1 ? fundamental : 1.0) / h, phase = 0.7 * h * h;
        for (size_t i = 0; i < x.size(); ++i) x[i] += a * std::sin(2 * kPi * h * f0 * double(i) / rate + phase);
    }
    return x;
}

// A plucked string: zero-mean noise circulating in a delay line of `delay` samples through the
// loop filter (1 - s) x[n] + s x[n-1]. Its weight s is 1/2 where that lets the fundamental ring for
// `ring` seconds, and less for high strings, which a plain mean would damp within a few hundredths
// of a second. Returns the samples; `pitch` receives the fundamental's frequency, where its phase
// round the loop (the delay and the filter's own) is one turn.
inline std::vector<double> plucked_string(int delay, double rate, double seconds, double* pitch, unsigned seed = 1,
                                          double ring = 1.0) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> line(static_cast<size_t>(delay));
    double mean = 0;
    for (double& v : line) mean += (v = u(gen)) / delay;
    for (double& v : line) v -= mean;
    const double w1 = 2 * kPi / (delay + 0.5);
    const double keep = std::exp(-(delay + 0.5) / (rate * ring));
    const double c = (1 - keep * keep) / (2 * (1 - std::cos(w1)));
    const double s = c >= 0.25 ? 0.5 : 0.5 * (1 - std::sqrt(1 - 4 * c));
    double w = w1;
    for (int i = 0; i < 50; ++i) {
        const double lag = std::atan2(s * std::sin(w), 1 - s + s * std::cos(w)) / w;
        w = 2 * kPi / (delay + lag);
    }
    if (pitch) *pitch = w * rate / (2 * kPi);
    std::vector<double> x(size_t(rate * seconds));
    double previous = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const size_t j = i % size_t(delay);
        const double out = line[j];
        line[j] = (1 - s) * out + s * previous;
        previous = out;
        x[i] = out;
    }
    return x;
}

// A sung vowel "a": harmonics of a voice source (falling 12 dB an octave) shaped by three formants,
// with vibrato of `cents` either way at `rate_hz`. Returns the samples; `pitch` receives the
// frequency at each sample.
inline std::vector<double> sung_vowel(double f0, double rate, double seconds, double cents, double rate_hz,
                                      std::vector<double>* pitch = nullptr) {
    const double formants[3][2] = {{700, 110}, {1220, 120}, {2600, 160}};  // centre, bandwidth
    std::vector<double> x(size_t(rate * seconds));
    if (pitch) pitch->resize(x.size());
    double phase = 0;
    const int count = std::min(48, int(0.45 * rate / f0));  // past the third formant little is left
    std::vector<double> gain(size_t(count) + 1);
    for (int h = 1; h <= count; ++h) {
        const double f = h * f0;
        double g = 1.0 / (h * h);
        for (const auto& fm : formants) g *= 1 + 30 / (1 + std::pow((f - fm[0]) / fm[1], 2));
        gain[size_t(h)] = g;
    }
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double f = f0 * std::pow(2.0, cents / 1200 * std::sin(2 * kPi * rate_hz * t));
        if (pitch) (*pitch)[i] = f;
        phase += 2 * kPi * f / rate;
        double v = 0;
        for (int h = 1; h <= count && h * f < 0.45 * rate; ++h) v += gain[size_t(h)] * std::sin(h * phase + 0.3 * h);
        x[i] = v;
    }
    return x;
}

// A piano-like string: partial h at h f sqrt(1 + B h^2), the first exactly at `partial1`.
// `upper_decay`: partials above the second die away at this rate (per second), as a struck string's
// upper partials do.
inline std::vector<double> stiff_string(double partial1, double b, double rate, double seconds, double upper_decay = 0) {
    const double f = partial1 / std::sqrt(1 + b);
    std::vector<double> x(size_t(rate * seconds));
    for (int h = 1; h <= 12; ++h) {
        const double fh = h * f * std::sqrt(1 + b * h * h), phase = 0.7 * h * h, decay = h > 2 ? upper_decay : 0.0;
        for (size_t i = 0; i < x.size(); ++i) {
            const double t = double(i) / rate;
            x[i] += std::exp(-decay * t) * std::sin(2 * kPi * fh * t + phase) / h;
        }
    }
    return x;
}

// White noise.
inline std::vector<double> white_noise(double rate, double seconds, unsigned seed = 7) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> n(0, 1);
    std::vector<double> x(size_t(rate * seconds));
    for (double& v : x) v = n(gen);
    return x;
}

// x with white noise added at `snr` dB below its power (over the whole band).
inline std::vector<double> with_noise(std::vector<double> x, double rate, double snr, unsigned seed) {
    const std::vector<double> n = white_noise(rate, double(x.size()) / rate + 1.0, seed);
    double px = 0, pn = 0;
    for (size_t i = 0; i < x.size(); ++i) px += x[i] * x[i], pn += n[i] * n[i];
    const double g = pn > 0 ? std::sqrt(px / pn / std::pow(10.0, snr / 10)) : 0.0;
    for (size_t i = 0; i < x.size(); ++i) x[i] += g * n[i];
    return x;
}

// How far a heard frequency lies from the true one, in cents.
inline double cents_off(double heard, double truth) { return 1200 * std::log2(heard / truth); }

// Whether a reading is an octave or fifth error (or worse): a twelfth, octave or fifth away and
// more, up or down, give or take half a semitone.
inline bool octave_or_fifth_error(double heard, double truth) { return std::fabs(cents_off(heard, truth)) > 650; }

}  // namespace pitch_signals
